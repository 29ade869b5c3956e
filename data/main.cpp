// noctra-mkdata OUTDIR: builds the reference data files into OUTDIR.
#include "data/mkdata.h"

int main(int argc, char** argv) { return mkdata::MkdataMain(argc, argv); }
