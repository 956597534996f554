// Force-included into every C++ source of the release build (see
// CMakeLists.txt). The standard library declares its strings as instantiated
// in the library; linked statically, that brings in every member of both
// string classes (about 70 KB with their unwind tables), since the linker
// cannot drop single functions from those objects. This is the library's own
// mode for checked strings: strings are instantiated where they are used, so
// only the members the program calls are kept. Nothing else changes.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
