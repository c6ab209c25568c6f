#pragma once

// The login of members members through plain TCP, TLS and an SSH tunnel (a local sshd of its
// own), side by side in one run; prints the figures and their ratios to plain TCP.
int RunLoginWays(int members);
