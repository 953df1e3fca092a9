// The agent stand-in: writes a simulated network of workstations.
#include <cstdio>

int main() {
    std::fprintf(stderr, "vcworkstation: not built yet\n");
    return 2;
}
