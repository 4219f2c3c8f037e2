#pragma once

// Puts the windows of the upper layers into the opener table (core/Openers.h).
// The program calls it before start-up; tests of whole flows call it too.
void registerWindows();
