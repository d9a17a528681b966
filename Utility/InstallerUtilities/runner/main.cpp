#include "runner_main.h"

int wmain(int argc, wchar_t* argv[])
{
    return RunnerMain(argc, argv);
}
