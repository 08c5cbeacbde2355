#pragma once

// The band of the orientation aid for a tone index: "tief" for 70 to 250 Hz, "mittel" for 500
// to 4000 Hz, "hoch" for 6000 to 12000 Hz, and "" for an index outside 0..9.
const char* BandName(int toneIndex);
