#pragma once
// The installer's look as database.bin and the packed skin block both
// carry it, field for field: the 14 style sets, the 24 icons, the toolkit's
// four default styles, the dialog effects and the progress-bar rates.
#include <cstdint>
#include <vector>

#include "data_device.h"
#include "database.h"

// Reading installs the toolkit's styles and each effect value as soon as it
// has been read, so a failed read keeps what came before the failing
// field. Streams older than version 4 carry no effects, older than 5 no
// rates.
bool read_database_look(DATABASE& data, DATA_DEVICE* device,
                        uint8_t version = DATABASE::STORED_VERSION);
// Always the full layout, with the toolkit's current styles and effects.
bool write_database_look(DATABASE& data, DATA_DEVICE* device);

// The built-in font slots that this look draws with: the surfaces' default
// font and every built-in slot its style sets name, the toolkit's current
// styles included, in slot order. An installer carries only these fonts.
std::vector<uint8_t> fonts_of_look(const DATABASE& data);
