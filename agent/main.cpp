// fresh, the refresh data agent.
#include "agent/AgentMain.h"

int main() { return WinMain(); }
