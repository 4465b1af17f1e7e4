#pragma once

namespace webkit {

// Makes every large memory block go back to the system as soon as it is freed. The programs
// handle texts of megabytes in bursts (pages as they arrive, the page bridge's script with
// every link of a search); glibc would otherwise raise its threshold for mapping such blocks
// after the first is freed, serve the later ones from the heap, and keep that memory once
// they are freed. Called first thing in main().
void returnLargeBlocksWhenFreed();

} // namespace webkit
