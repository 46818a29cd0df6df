#pragma once
// While the program's own service starts, the hosts that the player and the
// metadata feed go to are not known yet: the player's first load waits for
// them, and a metadata request waits a while. Everywhere else, and once the
// service listens or has failed, the hosts are settled.

// From now until SettleHosts: the hosts are being decided.
void MarkHostsPending();
// The hosts are decided (set, or left at their defaults); wakes the waits.
void SettleHosts();

bool HostsPending();
// Waits until the hosts are settled or `timeoutMs` has passed; true when
// they are settled.
bool WaitForHosts(unsigned long timeoutMs);
