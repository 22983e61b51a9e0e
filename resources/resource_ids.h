// Ids of the installer's own resources (resources/installer.rc). Included by
// the resource script and by the program; plain numbers, no code.
// The small icons form one run: slot k of the wizard's small icons is the
// icon IDI_APP + k, for k from 0 to SMALL_ICON_COUNT - 1.
#ifndef HALV_RESOURCE_IDS_H
#define HALV_RESOURCE_IDS_H

#define IDB_SIDE_PICTURE 101  // 180 x 200, 8 bits per pixel

#define IDI_APP 201               // the product box: window icons and "Run program"
#define IDI_CREATE_SHORTCUTS 202
#define IDI_PROGRAM_GROUP 203
#define IDI_HELP_FILE 204
#define IDI_WEBSITE 205
#define IDI_BROWSE 206
#define IDI_REFRESH 207
#define IDI_HYPERLINK 208         // the maker's mark beside the hyperlink
#define IDI_NEXT 209              // right wizard button
#define IDI_EXIT 210              // left wizard button on the licence and installing steps
#define IDI_BACK 211              // left wizard button on the destination step
#define IDI_BANNER 212            // 32 x 32, beside the product caption

#define SMALL_ICON_COUNT 11

#endif
