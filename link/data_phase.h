// The steps of a transfer run's data phase that need nothing of the run in progress. The data
// phase itself (serving the main unit's requests, fetching the listed files) is run by the
// transfer object (link/tcp_file_transfer.h, data_phase.cpp).
#pragma once

#include <list>
#include <string>
#include <string_view>

// The file list of the queued names: "<root>", the UD-TYPE (DOWNLOAD or UPLOAD) and one element
// "address/file" per queued name that has a file-list entry, every line ended by LF.
std::string fileListText(const std::list<std::string>& queue, bool download, std::string_view address);

// Turns the fetched document at `documentPath` (XML) into the work file(s) of `fileName` in
// `workDir`: the user-information line, for some files an empty line, then the converted
// elements (the call history becomes naityaklog.txt and gaityaklog.txt). False when the
// document cannot be read or a work file cannot be written.
bool convertFetchedDocument(const std::string& documentPath, std::string_view fileName,
                            const std::string& workDir);
