#include "DeviceConfig.h"

namespace tervane::sim {

namespace {

// Adds n to the number the digits in [first, last) make, wrapping within their width.
std::string AddToDigits(std::string text, std::size_t first, std::size_t last, int n)
{
    int carry = n;
    for (std::size_t i = last; i > first && carry > 0; --i) {
        const int digit = text[i - 1] - '0' + carry;
        text[i - 1] = static_cast<char>('0' + digit % 10);
        carry = digit / 10;
    }
    return text;
}

// The Luhn check digit of the digits before it.
char LuhnDigit(std::string_view body)
{
    int sum = 0;
    bool twice = true;
    for (std::size_t i = body.size(); i > 0; --i) {
        int digit = body[i - 1] - '0';
        if (twice)
            digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
        sum += digit;
        twice = !twice;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

} // namespace

int SignalQualityAt(const DeviceConfig& config, long long question)
{
    if (question < 0)
        question = 0;
    switch (config.signalPattern) {
    case SignalPattern::Steady:
        break;
    case SignalPattern::Sweep: {
        const int step = static_cast<int>(question % 62);
        return step <= 31 ? step : 62 - step;
    }
    case SignalPattern::NoisyPeak: {
        const int step = static_cast<int>(question % 60);
        const int distance = step < 30 ? 30 - step : step - 30;
        const int bump = distance >= 11 ? 0 : 22 - 2 * distance;
        // A fixed hash of the question, so every run sees the same noise.
        const unsigned long long mixed = (static_cast<unsigned long long>(question) + 1) * 0x9E3779B97F4A7C15ULL;
        const int noise = static_cast<int>((mixed >> 61) % 5) - 2;
        const int quality = 6 + bump + noise;
        return quality < 0 ? 0 : quality > 31 ? 31 : quality;
    }
    case SignalPattern::Dropouts:
        if (question % 10 >= 8)
            return 99;
        break;
    }
    return config.signalQuality;
}

DeviceConfig NthGateway(const DeviceConfig& config, int n)
{
    DeviceConfig gateway = config;
    if (n <= 0)
        return gateway;
    if (gateway.imei.size() == 15) {
        gateway.imei = AddToDigits(gateway.imei, 8, 14, n);
        gateway.imei[14] = LuhnDigit(std::string_view(gateway.imei).substr(0, 14));
    }
    if (gateway.iccid.size() >= 2)
        gateway.iccid = AddToDigits(gateway.iccid, 0, gateway.iccid.size() - 1, n);
    if (!gateway.imsi.empty())
        gateway.imsi = AddToDigits(gateway.imsi, 0, gateway.imsi.size(), n);
    return gateway;
}

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
