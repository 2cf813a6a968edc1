// Resources of ZepBackend_Library.
#define IDS_PROJNAME 100
#define IDR_ZEPBACKEND_LIBRARY 101
#define IDR_ZEPSOFTWAREDOWNLOADMANAGER 102
#define IDR_ZEPUPDATEINFOMANAGER 103
// The element and attribute names of the update information file: IDS_SCHEMA_FIRST to
// IDS_SCHEMA_LAST.
#define IDS_SCHEMA_FIRST 101
#define IDS_SCHEMA_LAST 140
