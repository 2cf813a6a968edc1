#pragma once
#define IDD_BENCH_DIALOG 100
