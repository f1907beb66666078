#pragma once

// The renderers hold the job's PPD and the current page header by pointer
// only; declaring the two CUPS types here keeps the CUPS headers in filter/.
struct ppd_file_s;
typedef struct ppd_file_s ppd_file_t;
struct cups_page_header2_s;
typedef struct cups_page_header2_s cups_page_header2_t;
