// The call-history read workflow of the main dialog: the link downloads both histories and they
// are merged into the internal and the external history by position. When a downloaded file is
// missing or unreadable neither history changes and the read reports the file error.
#pragma once

#include "app/communication_workflow.h"

WorkflowOutcome runHistoryRead(WorkflowSite& site);
