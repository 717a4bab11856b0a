#pragma once

// Resource identifiers shared by the resource script and the code.
#define IDI_CHAINER 128

#define IDS_SETUP_TITLE 161
#define IDS_PREPARING 220
