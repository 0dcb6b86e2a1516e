// What the tests share with the stand-in engine whose data reads never return.
#pragma once

// Set when a read has begun and will not come back.
inline constexpr char kStuckEngineEvent[] = "TempoScoutTestStuckEngineRead";

// Beside the test executables: the folder that holds the stand-in bass.dll.
inline constexpr char kStuckEngineFolder[] = "stuck-engine";
