#pragma once
// The -d console mode: compares an older and a newer installer package
// file by file and writes patch.xml, the description of a patch installer
// that brings an installation of the older build up to the newer one,
// reporting on the console what changed and why a comparison stopped.

// argument: "older=newer", two package paths ("$..." as they stand, "/..."
// absolute, anything else below "$HERE"). patch.xml goes into the older
// package's folder. True when patch.xml was written; on any failure
// nothing is left at that name (an earlier patch.xml stays as it was).
bool build_patch(const char* argument);
