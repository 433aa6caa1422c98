#include <windows.h>

#include "ui/layout.h"
#include "ui/win32/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    // The tail is found by our own rule rather than taken from the runtime's split.
    const char* commandLine = GetCommandLineA();
    return bq::win32::run(instance, bq::commandLineTail(commandLine != nullptr ? commandLine : ""));
}
