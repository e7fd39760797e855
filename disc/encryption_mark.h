// The marks an encrypted disc carries beside its streams. They stay on a copy that was
// decrypted, so they never decide on their own that a disc is encrypted: they name the
// encryption that scrambled packets come from.
#pragma once

#include <string>

#include "engine/file_system.h"

namespace korvell {

/// The encryption mark of the disc that holds `path` (a file of the disc, one of its folders,
/// or its root, such as a disc image's own path): the folder AACS, ANY! or AAC! (HD DVD, AACS)
/// or the file AUDIO_TS/DVDAUDIO.MKB (DVD-Audio, CPPM), looked for, ignoring case, in the
/// folder `path` names or holds it and in the folder above that; the mark's name as found
/// ("AACS", "AUDIO_TS/DVDAUDIO.MKB"), or empty when there is none.
std::string encryptionMark(const FileSystem& files, const std::string& path);

}  // namespace korvell
