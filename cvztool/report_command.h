// `cvztool report [--svg FILE] LOG...`: the vendor's adoption report from nginx's
// report logs (vendor_server), plain or gzip-compressed, in any order.
#pragma once

namespace report_command {

// Arguments after the command name. Prints the report (adoption_report::ReportText)
// and writes the chart when asked. Exit 0; 3 when a log could not be read, or not to
// its end, or the chart could not be written (each named on standard error; the
// other logs still count); 64 usage.
int RunReportCommand(int argc, char** argv);

}  // namespace report_command
