// What every folder of the library shares, whatever it builds on.
#pragma once

// Marks a definition that the library exports; which names are exported is decided
// by the folder's exports.txt alone.
#define LM_EXPORT extern "C"
