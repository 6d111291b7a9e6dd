#pragma once

#include <QString>

#include <sys/types.h>

// Words for what the operating system reports, shared by the files layer.

// The system's own text for an errno value; never empty, never "unknown error" without the number.
QString ErrorText(int error);

// Why a node of this type (st_mode) is not a regular file: "is a folder", "is a named pipe (FIFO)", ...
QString NodeKindReason(mode_t mode);

// Why a path could not be looked at (stat or lstat failed with `error`).
QString StatFailure(int error);
