/* xdrop WINDOW_ID FILE...
 *
 * Drops the files onto an X window the way a file manager does: an XDND drag of a
 * text/uri-list that enters the window, moves to its centre and drops there. The files' data
 * is served from the XdndSelection while the target asks for it. Exits 0 when the target
 * finished the drop, 1 when it refused it or did not answer within 15 seconds, 2 on bad use.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

enum { OwnXdndVersion = 5, AnswerSeconds = 15 };

struct Atoms {
    Atom aware, enter, position, status, drop, finished, leave, selection, actionCopy, uriList;
};

static void InternAtoms(Display* display, struct Atoms* atoms) {
    atoms->aware = XInternAtom(display, "XdndAware", False);
    atoms->enter = XInternAtom(display, "XdndEnter", False);
    atoms->position = XInternAtom(display, "XdndPosition", False);
    atoms->status = XInternAtom(display, "XdndStatus", False);
    atoms->drop = XInternAtom(display, "XdndDrop", False);
    atoms->finished = XInternAtom(display, "XdndFinished", False);
    atoms->leave = XInternAtom(display, "XdndLeave", False);
    atoms->selection = XInternAtom(display, "XdndSelection", False);
    atoms->actionCopy = XInternAtom(display, "XdndActionCopy", False);
    atoms->uriList = XInternAtom(display, "text/uri-list", False);
}

/* Appends text to a growing buffer; exits when memory runs out. */
static void Append(char** buffer, size_t* length, const char* text, size_t count) {
    char* grown = realloc(*buffer, *length + count + 1);
    if (grown == NULL) {
        fputs("xdrop: out of memory\n", stderr);
        exit(1);
    }
    memcpy(grown + *length, text, count);
    *length += count;
    grown[*length] = '\0';
    *buffer = grown;
}

/* One "file://" URI per path, made absolute, every byte outside the unreserved set and "/"
 * percent-encoded, each line ended with CR LF. */
static char* UriList(int count, char** paths, size_t* length) {
    static const char unreserved[] = "-._~/";
    char* list = NULL;
    char cwd[4096];
    *length = 0;
    if (getcwd(cwd, sizeof cwd) == NULL) {
        cwd[0] = '\0';
    }
    Append(&list, length, "", 0);
    for (int i = 0; i < count; ++i) {
        Append(&list, length, "file://", 7);
        const char* parts[2] = {paths[i][0] == '/' ? "" : cwd, paths[i]};
        for (int part = 0; part < 2; ++part) {
            for (const unsigned char* p = (const unsigned char*)parts[part]; *p; ++p) {
                char piece[4];
                if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                    (*p >= '0' && *p <= '9') || strchr(unreserved, *p) != NULL) {
                    piece[0] = (char)*p;
                    Append(&list, length, piece, 1);
                } else {
                    snprintf(piece, sizeof piece, "%%%02X", *p);
                    Append(&list, length, piece, 3);
                }
            }
            if (part == 0 && parts[0][0] != '\0') {
                Append(&list, length, "/", 1);
            }
        }
        Append(&list, length, "\r\n", 2);
    }
    return list;
}

static void SendXdnd(Display* display, Window target, Atom type, long l0, long l1, long l2, long l3,
                     long l4) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* The XDND version that the target announces, 0 when it takes no drops. */
static int TargetVersion(Display* display, Window target, const struct Atoms* atoms) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = NULL;
    int version = 0;
    if (XGetWindowProperty(display, target, atoms->aware, 0, 1, False, AnyPropertyType, &type,
                           &format, &items, &after, &data) == Success &&
        data != NULL && items == 1 && format == 32) {
        version = (int)*(const long*)data;
    }
    if (data != NULL) {
        XFree(data);
    }
    return version;
}

static void AnswerSelectionRequest(Display* display, const XSelectionRequestEvent* request,
                                   const struct Atoms* atoms, const char* list, size_t length) {
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request->requestor;
    reply.xselection.selection = request->selection;
    reply.xselection.target = request->target;
    reply.xselection.time = request->time;
    reply.xselection.property = None;
    if (request->selection == atoms->selection && request->target == atoms->uriList) {
        const Atom property = request->property != None ? request->property : request->target;
        XChangeProperty(display, request->requestor, property, request->target, 8, PropModeReplace,
                        (const unsigned char*)list, (int)length);
        reply.xselection.property = property;
    }
    XSendEvent(display, request->requestor, False, NoEventMask, &reply);
    XFlush(display);
}

/* Waits up to the deadline for the next event; false when none came. */
static int NextEvent(Display* display, time_t deadline, XEvent* event) {
    while (!XPending(display)) {
        const time_t now = time(NULL);
        if (now >= deadline) {
            return 0;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(ConnectionNumber(display), &readable);
        struct timeval wait = {deadline - now, 0};
        if (select(ConnectionNumber(display) + 1, &readable, NULL, NULL, &wait) < 0 &&
            errno != EINTR) {
            return 0;
        }
    }
    XNextEvent(display, event);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: xdrop WINDOW_ID FILE...\n", stderr);
        return 2;
    }
    char* end = NULL;
    const Window target = (Window)strtoul(argv[1], &end, 0);
    Display* display = XOpenDisplay(NULL);
    if (*end != '\0' || target == 0 || display == NULL) {
        fputs("xdrop: no display, or a bad window id\n", stderr);
        return 2;
    }
    struct Atoms atoms;
    InternAtoms(display, &atoms);
    const int targetVersion = TargetVersion(display, target, &atoms);
    if (targetVersion < 3) {
        fputs("xdrop: the window takes no XDND drops\n", stderr);
        return 1;
    }
    const long version = targetVersion < OwnXdndVersion ? targetVersion : OwnXdndVersion;

    XWindowAttributes attributes;
    Window child = None;
    int x = 0, y = 0;
    XGetWindowAttributes(display, target, &attributes);
    XTranslateCoordinates(display, target, DefaultRootWindow(display), attributes.width / 2,
                          attributes.height / 2, &x, &y, &child);

    size_t length = 0;
    char* list = UriList(argc - 2, argv + 2, &length);
    const Window source =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);

    SendXdnd(display, target, atoms.enter, (long)source, version << 24, (long)atoms.uriList, None,
             None);
    SendXdnd(display, target, atoms.position, (long)source, 0, ((long)x << 16) | (y & 0xffff),
             CurrentTime, (long)atoms.actionCopy);

    const time_t deadline = time(NULL) + AnswerSeconds;
    int dropped = 0;
    int result = 1;
    const char* failure = "xdrop: no answer from the window\n";
    XEvent event;
    while (NextEvent(display, deadline, &event)) {
        if (event.type == SelectionRequest) {
            AnswerSelectionRequest(display, &event.xselectionrequest, &atoms, list, length);
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.status &&
                   !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0) {
                failure = "xdrop: the window refused the drop\n";
                SendXdnd(display, target, atoms.leave, (long)source, 0, 0, 0, 0);
                break;
            }
            SendXdnd(display, target, atoms.drop, (long)source, 0, CurrentTime, 0, 0);
            dropped = 1;
            failure = "xdrop: the window did not finish the drop\n";
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.finished) {
            result = 0;
            break;
        }
    }
    if (result != 0) {
        fputs(failure, stderr);
    }
    free(list);
    XDestroyWindow(display, source);
    XCloseDisplay(display);
    return result;
}
