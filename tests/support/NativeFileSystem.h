#pragma once

// The real file system of the platform the tests run on.
#ifdef _WIN32
#include "extract/FileSystemWin32.h"
namespace z83::test {
using NativeFileSystem = WindowsFileSystem;
}
#else
#include "extract/FileSystemPosix.h"
namespace z83::test {
using NativeFileSystem = PosixFileSystem;
}
#endif
