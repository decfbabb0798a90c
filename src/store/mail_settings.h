#pragma once

#include "store/records.h"

#include <wx/string.h>

// The mail options live in their own table of the configuration database,
// MailSet (one row), made when missing; ActionSet keeps its layout, so a file
// from before the table existed opens and works as it did. Each call opens a
// connection of its own on the file at configPath and never creates the file.

// Reads the stored options into options; a missing file, table or row leaves
// the defaults (all empty). False, with SQLite's message in error, when the
// file could not be read.
bool LoadMailOptions(const wxString& configPath, MailOptions& options, wxString* error = nullptr);

// Replaces the stored row with options, in one transaction. False, with
// SQLite's message in error, on failure (the old row stays).
bool SaveMailOptions(const wxString& configPath, const MailOptions& options,
                     wxString* error = nullptr);
