// Exits with the code given as its first argument, after sleeping the milliseconds of
// its second argument (for the process-waiting tests).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc > 2) {
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    }
    return argc > 1 ? std::atoi(argv[1]) : 0;
}
