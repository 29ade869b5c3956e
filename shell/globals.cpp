#include "shell/globals.h"

std::string DataFolder;
std::string ProgramFolder;

QWidget* MainWindowHandle = nullptr;

uint32_t* BackBufferBits = nullptr;
int32_t BackBufferWidth = 0;
int32_t BackBufferHeight = 0;

int32_t MapWidth = -1;
int32_t MapHeight = -1;

std::atomic<uint8_t> RepaintMask{30};

std::atomic<int32_t> PointerX{0};
std::atomic<int32_t> PointerY{0};
std::atomic<uint8_t> PointerOnChart{0};

std::atomic<uint8_t> MagnifierReady{0};
std::atomic<uint8_t> StarLoaderBusy{0};

double InsetAspect = 1.0;
double AspectAdjust = 1.0;

uint8_t TimeFlow = 0;
uint8_t TimeRate = 0;

int32_t InsetSizeSmall = 80;
int32_t InsetSizeNormal = 90;
int32_t InsetSizeLarge = 100;
int32_t InsetSizeHuge = 150;

bool LogFormActive = false;
bool FlashProgressOpen = false;
