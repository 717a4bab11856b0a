#pragma once

// Resource identifiers shared by the resource script and the code.
#define IDI_CHAINER 128

#define IDD_PREPARING 201
#define IDC_PREPARING_STATUS 1001

#define IDS_SETUP_TITLE 161
#define IDS_REBOOT_QUESTION 216
#define IDS_REBOOT_CAPTION 217
#define IDS_PREPARING 220
#define IDS_SEARCHING 223
#define IDS_INSTALLING 153
#define IDS_OPENING_SITE 198
