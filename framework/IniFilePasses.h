#pragma once
// Read and write passes over a settings file that no cut (a killed process,
// a logoff, a power cut) can leave half written, for a path of any length.
#include <functional>
#include <string>

namespace lumek {

// Runs the profile calls of one pass on the file at `profilePath`.
using ProfilePass = std::function<void(const std::wstring& profilePath)>;

// Runs `reads` on the file at `path`; a missing file reads as empty. A path
// longer than the profile functions open on every system is read through a
// copy in the temp folder. Where that copy cannot be made, the pass does not
// run and the write error naming `path` is raised (EIniFileException): the
// file that cannot be read will not be written either.
void ReadIniFilePass(const std::wstring& path, const ProfilePass& reads);

// Runs `writes` on a copy of the file at `path` (an empty file when there is
// none yet) and puts the copy in its place in one step, so the file is the
// old one or the new one, whole, whenever the program ends. What the writes
// do not touch (other keys, sections, comments) stays as it was. Where the
// folder takes no new file though the file itself is writable, `writes` runs
// on the file itself. A read-only file, or a copy or replace that fails,
// raises EIniFileException naming `path`, with the file as it was and no
// copy left behind.
void WriteIniFilePass(const std::wstring& path, const ProfilePass& writes);

}  // namespace lumek
