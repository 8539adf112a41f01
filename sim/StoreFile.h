#pragma once

#include "sim/ControllerLogic.h"

#include <string>

// The controller's attribute blocks on disk, one line "TYPE HEX" per stored block.
// A missing file is an empty store; an unreadable or malformed one throws std::runtime_error.
BlockStore LoadStore(const std::string& path);

// Replaces the file atomically (temporary file, synced to disk, renamed); throws std::runtime_error.
void SaveStore(const std::string& path, const BlockStore& store);
