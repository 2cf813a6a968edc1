#pragma once
// The log library: per-subject log systems, method tracing, configuration and outputs.
//
//   long hr = S_OK;
//   opLogSys::Fmt::CMethodLog<long> log(L"HttpDownloader", 1, L"CXHttpDownloader::Download", &hr);
//   log.Printf(L"url %s", pszUrl);
//   log.ErrorPrintf(L"open failed 0x%08X", hr);   // also goes to the error log file
#include "oplogsys/i_reference.h"
#include "oplogsys/reference.h"
#include "oplogsys/ref_ptr.h"
#include "oplogsys/i_log.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/i_log_filter.h"
#include "oplogsys/i_log_sys_info.h"
#include "oplogsys/i_lock_object.h"
#include "oplogsys/i_output_log_system_factory.h"
#include "oplogsys/critical_section.h"
#include "oplogsys/mutex.h"
#include "oplogsys/log.h"
#include "oplogsys/error_log.h"
#include "oplogsys/output_log_system.h"
#include "oplogsys/log_sys_info.h"
#include "oplogsys/log_sys_info_from_xml.h"
#include "oplogsys/output_log_system_factory_base.h"
#include "oplogsys/null_output_factory.h"
#include "oplogsys/ods_output_factory.h"
#include "oplogsys/file_output_factory.h"
#include "oplogsys/file_io.h"
#include "oplogsys/output_error_log_io.h"
#include "oplogsys/method_log_base.h"
#include "oplogsys/simple_method_log.h"
#include "oplogsys/method_log.h"
#include "oplogsys/subject_log.h"
