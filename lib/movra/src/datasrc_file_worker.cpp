#include "movra/datasrc_file_worker.h"

DATASRC_FILE_WORKER::~DATASRC_FILE_WORKER() = default;
