#include "control/run.h"
#include "control/startup.h"

int main(int argc, char** argv) {
    int status = 0;
    if (StartUp(argc, argv, status) != 0) return status;
    return Run();
}
