#include "DeviceConfig.h"

namespace tervane::sim {

std::map<std::string, std::string> DeviceConfig::DefaultFiles()
{
    std::string report = "# Reads the attached sensors and reports them to Dravex every minute.\n"
                         "import time\n\n"
                         "def read_sensors():\n"
                         "    return {'temperature': 21.5, 'humidity': 40}\n\n";
    // Long enough to take several upload chunks.
    for (int i = 0; i < 60; ++i)
        report += "# calibration row " + std::to_string(i) + ": offset " + std::to_string(i * 7 % 13) + "\n";
    report += "\nwhile True:\n    print(read_sensors())\n    time.sleep(60)\n";

    return {
        {"/WEB/python/main.py", "import sensor_report\n\nprint('Q7 gateway started')\n"},
        {"/WEB/python/sensor_report.py", report},
        {"/WEB/python/xbee.py",
         "# Ravlo radio helpers.\n"
         "def discover(timeout=6):\n    return []\n"},
    };
}

} // namespace tervane::sim
