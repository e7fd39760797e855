// Where libdvdread is going to read in an IFO file, checked before it reads. libdvdread 6.1
// frees some tables twice, or allocates gigabytes, when a read it makes fails or a size it reads
// is garbage; so an IFO file is handed to it only when everything it reads lies in the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace korvell::dvd {

/// What part of the IFO file `file` (VIDEO_TS.IFO when `identifier` is "DVDVIDEO-VMG",
/// VTS_nn_0.IFO when it is "DVDVIDEO-VTS") lies outside its whole 2,048-byte sectors (libdvdread
/// reads whole sectors), as an Invalid status whose reason names it ("the header lies past its
/// end" when the file is shorter than a sector or does not begin with the identifier, else the
/// first table that does: "the program chain table lies past its end"). Ok when every part
/// libdvdread reads lies within: the tables the header points to, from their header to the last
/// byte they give, and in them the program chains (with their command tables, program maps and
/// cell tables), menu language units, time maps, parental levels and title set attributes.
Status ifoPartOutsideFile(std::span<const uint8_t> file, std::string_view identifier);

}  // namespace korvell::dvd
