// tarn11, the control command portal.
#include "portal/PortalMain.h"

int main() { return WinMain(); }
