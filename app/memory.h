#pragma once

#include <functional>

namespace app {

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

// Runs `startWeb`, which makes the program's first web view and with it QtWebEngine's helper
// processes, with a fixed mmap threshold in GLIBC_TUNABLES: the helpers map every large block
// and unmap it when freed. The page's renderer receives the page bridge's script, a megabyte
// after a search of 10,000 links, and would otherwise keep the heap it passed through. The
// environment is as it was once `startWeb` returns; renderers started later are forked from
// the helpers and keep the setting.
void withHelpersReturningLargeBlocks(const std::function<void()>& startWeb);

// Gives every free page of every heap back to the system: at the end of a search.
void returnFreedMemory();

} // namespace app
