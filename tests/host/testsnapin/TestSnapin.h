// The snap-in that the console host's tests load: a root with an HTML view,
// two containers (Alpha holds leaves, Beta can be deleted), leaves with a
// property page, a menu command, a task that shows a message box, and a
// toolbar. What it is told is written to a log that tests read through the
// module's exported TestSnapinLog.
#pragma once

#include "platform/com/Guid.h"

// {6B0C3E57-92A4-4D1E-8F3B-5A7C21D9E401}
constexpr CLSID CLSID_TestSnapin = {
    0x6B0C3E57, 0x92A4, 0x4D1E, {0x8F, 0x3B, 0x5A, 0x7C, 0x21, 0xD9, 0xE4, 0x01}};
// The about object, whose folder images the console gives the root.
constexpr CLSID CLSID_TestSnapinAbout = {
    0x6F2A9C14, 0x7B3E, 0x4D21, {0x9A, 0x5C, 0x1E, 0x8B, 0x44, 0x0D, 0x72, 0xC3}};

constexpr long kCommandNewLeaf = 1;
constexpr long kCommandCountLeaves = 2;
constexpr long kCommandSelectBeta = 3;

// Exported with C linkage by the module.
using TestSnapinLogFunction = const char* (*)();
using TestSnapinClearLogFunction = void (*)();
// Alpha holds this many leaves more in the snap-ins made afterwards.
using TestSnapinSetExtraLeavesFunction = void (*)(int);
