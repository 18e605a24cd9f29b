#!/usr/bin/env bash
# Fails when a platform conditional or <windows.h> appears outside the seam
# files (*_win32.*, *_posix.*, ui/, net/port.h) of the program's own code.
cd "$(dirname "$0")/.."
bad=$(grep -l -E '_WIN32|__MINGW|<windows\.h>' base/*.* app/*.* net/*.* http/*.* config/*.* sys/*.* getphp/*.* 2>/dev/null |
      grep -v -E '(_win32|_posix)\.(cpp|h)$|^net/port\.h$|CMakeLists\.txt$')
if [ -n "$bad" ]; then
  echo "Platform code outside the seam files:"; echo "$bad"
  echo "0 passed, 1 failed"; exit 1
fi
echo "1 passed, 0 failed"
