#pragma once

namespace webkit {

// Makes every large memory block go back to the system as soon as it is freed. The programs
// handle texts of megabytes in bursts (pages as they arrive, the page bridge's script with
// every link of a search); glibc would otherwise raise its threshold for mapping such blocks
// after the first is freed, serve the later ones from the heap, and keep that memory once
// they are freed. Called first thing in main() by the player, which has no such bursts of its
// own; every large text it frees is unmapped, and the next one mapped and faulted in anew.
void returnLargeBlocksWhenFreed();

// For the portal, whose searches handle pages of megabytes one after another: large blocks are
// served from the heap and stay there when freed, so that the next page reuses memory already
// faulted in, and nothing is trimmed on a free. What is free goes back to the system when a
// burst is over, through returnFreedMemory(). Called first thing in main().
void keepLargeBlocksUntilReturned();

// QtWebEngine's helper processes, started after this, map every large block and unmap it when
// freed, whatever the program does in its own process: the page's renderer receives the page
// bridge's script, a megabyte after a search of 10,000 links, and would otherwise keep the heap
// it passed through. Both functions above call it; the programs' children inherit it too.
void helpersReturnLargeBlocks();

// Gives every free page of every heap back to the system: at the end of a search.
void returnFreedMemory();

} // namespace webkit
