// The restriction-number read and write workflows of the main dialog.
//
// Read: the link downloads the list and it replaces the table group by group. A missing or
// unreadable list changes nothing and reports the file error; an empty one is a success.
// Write: the table is written as the list to send and prepared as ten upload blocks before the
// link connects; when the list cannot be written the save error is shown and nothing is sent.
#pragma once

#include "app/communication_workflow.h"

WorkflowOutcome runRestrictionRead(WorkflowSite& site);
WorkflowOutcome runRestrictionWrite(WorkflowSite& site);
