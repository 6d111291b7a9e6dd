#pragma once

#include "files/FileResult.h"

// The folder our preview files go into: a folder of our own under the user's temporary location
// ($TMPDIR, else /tmp), readable only by us, the same for every preview of the process and usually
// between processes. A temporary location that is missing, relative or unusable is passed over for
// /tmp. The result's path is absolute and names the folder; or the result gives the reason there
// is none.
FileResult PrivatePreviewFolder();
