// Compiles the portable headers after <windows.h>, whose names are macros:
// a name of ours that matches one breaks only a file that includes both.
// The backends do that for the seam's headers; this file for the rest.
#include <windows.h>

#include "backup/USrvBackup.h"
#include "backup/status_command.h"
#include "backup/status_report.h"
#include "backup/status_text.h"
#include "backup/stored_names.h"
#include "backup/worker_pause.h"
#include "service/installation.h"
#include "service/service_application.h"
#include "service/service_thread.h"
#include "service/service_status.h"
#include "event_loop/application.h"
#include "event_loop/message_queue.h"
#include "event_loop/timer.h"
