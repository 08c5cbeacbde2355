#pragma once

// The German text shown for a result of waveOutOpen, and the number shown beside it (the result
// minus 32, as the message has always shown it).
const char* WaveOpenErrorText(unsigned result);
int WaveOpenErrorNumber(unsigned result);

// The message box text for a failed open, a printf format taking the number and the text.
constexpr const char* WaveOpenErrorFormat = "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                                            "ffnet werden!\r\n%d = %s";
