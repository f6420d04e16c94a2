// Runs a program as the disk service's unit does: root whose capability bounding set holds
// CAP_SYS_RAWIO alone, without new privileges (the guest's busybox cannot drop the set).

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: calventa-vm-rawio-only PROGRAM [ARGUMENTS…]\n");
        return 2;
    }
    for (int cap = 0; cap <= CAP_LAST_CAP + 8; ++cap) {
        // Capabilities beyond the kernel's last one give EINVAL.
        if (cap != CAP_SYS_RAWIO && prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EINVAL) {
            std::perror("PR_CAPBSET_DROP");
            return 1;
        }
    }
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        std::perror("PR_SET_NO_NEW_PRIVS");
        return 1;
    }
    execv(argv[1], argv + 1);
    std::perror("execv");
    return 1;
}
