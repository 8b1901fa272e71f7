// tervane-q7-dashboard: the configuration window of the Skellin Q7.

#include "DashboardStart.h"

int main(int argc, char** argv)
{
    return tervane::RunDashboard(argc, argv);
}
