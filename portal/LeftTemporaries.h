#pragma once
// Tidying the working folder at start-up: the hidden temporaries that saves of the portal's own
// files leave behind when they are cut short (a kill, a crash, a power cut).
//
// Run only while the portal holds the folder's lock: no other portal then saves there. The
// files named are those only the portal writes (the lists, the groups, the instruction and
// cancel files, the win journal, the trace and error logs, the official-time page, the copy of
// the page being added) and, while no agent runs, the saved pages (item + ".tnw"), which the agent
// writes too; the agent writes pages only while its window is open. The agent's own files (its
// scratch page, its grid, the bid histories) are left to it: it removes their temporaries as its
// run begins.
void removeLeftTemporaries();
