#pragma once

#include "files/FileResult.h"

// The folder our preview files go into: a folder of our own under the user's temporary location
// ($TMPDIR, else /tmp), readable only by us, the same for every preview of the process and usually
// between processes. A temporary location that is missing, relative or unusable is passed over for
// /tmp. The result's path is absolute and names the folder; or the result gives the reason there
// is none.
FileResult PrivatePreviewFolder();

// A folder of this process's own inside PrivatePreviewFolder(), for a preview that must show this
// process's files alone while it is shown: other copies of the program (a second window, a script's
// preview) write theirs under the same names. Made when first asked for, and removed with its files
// when the process exits; those of processes that are gone are removed when it is made.
FileResult ProcessPreviewFolder();
