#pragma once
// Resources of Quenta.exe itself; every text it shows lives in its language resource library.
// String 1: the file name of that library.
#define IDS_QUENTA_RESOURCE_LIBRARY 1
