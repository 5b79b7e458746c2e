// The phonebook tables: system speed dial, extension directory, template messages, the
// private speed-dial lists, the user-information header and the work lines.
//
// Each table's operations have their own header; this one brings them all in. The record
// layouts, the tables and their rules are in data/phonebook_records.h.
#pragma once

#include "data/dial_codes.h"
#include "data/extension_directory.h"
#include "data/phonebook_records.h"
#include "data/phonebook_snapshot.h"
#include "data/speed_dial.h"
#include "data/template_messages.h"
#include "data/work_lines.h"
