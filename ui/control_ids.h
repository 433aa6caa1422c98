#pragma once
// Resource and control ids, shared by the C++ code and the resource script (plain macros so
// that the resource compiler reads them too).

#define IDI_APP_LARGE 101
#define IDI_APP_SMALL 102
#define IDD_PANEL 128
#define IDC_STATUS 129
#define IDC_GROUP_FILE 130
#define IDC_LIST 131
#define IDC_GROUP_STRUCTURE 132
#define IDR_ACCEL 133
#define IDD_ADD 134

#define IDC_CONTENT 1001
#define IDC_PATH 1002
#define IDC_LOAD 1003
#define IDC_SAVE 1005
#define IDC_ADD 1006
#define IDC_DELETE 1007
#define IDC_PAYLOAD_LOAD 1008
#define IDC_PAYLOAD_SAVE 1009

// Buttons of the Add dialog; each ends the dialog with its own id. 2 is Cancel.
#define IDC_ADD_XML 1009
#define IDC_ADD_ASSOCIATION 1010
#define IDC_ADD_LABEL 1011
#define IDC_ADD_GEOTIFF 1012
#define IDC_ADD_GML 1013
#define IDC_ADD_CANCEL 2

#define IDM_SELECT_ALL 40001
#define IDM_SAVE 40002
#define IDM_OPEN 40003
#define IDM_PROPERTIES 40004
#define IDM_ADD_XMP 40005
#define IDM_SET_GEOREF 40006
#define IDM_UNDO 40007
#define IDM_REDO 40008

// The Properties dialog: the box's description and its Close button (IDCANCEL).
#define IDD_PROPERTIES 135
#define IDC_PROPERTIES_TEXT 1020

// The Properties dialog's buttons for the row's metadata, shown only where they apply.
#define IDC_PROPERTIES_XMP 1021
#define IDC_PROPERTIES_RESOLUTION 1022
#define IDC_PROPERTIES_EXPORT_ICC 1023
#define IDC_PROPERTIES_IMPORT_ICC 1024

// The XMP packet editor.
#define IDD_XMP 136
#define IDC_XMP_TEXT 1030

// The Resolution editor: capture's controls, then display's, each kind IDC_RES_KIND_STEP apart.
#define IDD_RESOLUTION 137
#define IDC_RES_CAPTURE_H 1040
#define IDC_RES_CAPTURE_V 1041
#define IDC_RES_CAPTURE_UNIT 1042
#define IDC_RES_CAPTURE_REMOVE 1043
#define IDC_RES_DISPLAY_H 1044
#define IDC_RES_DISPLAY_V 1045
#define IDC_RES_DISPLAY_UNIT 1046
#define IDC_RES_DISPLAY_REMOVE 1047
#define IDC_RES_KIND_STEP 4

// The "Set georeferencing" dialog over a GeoTIFF or world file already chosen.
#define IDD_GEOREF 138
#define IDC_GEOREF_FILE 1050
#define IDC_GEOREF_EPSG 1051
#define IDC_GEOREF_NOTE 1052
#define IDC_GEOREF_GEOJP2 1053
#define IDC_GEOREF_GML 1054

// The "Check file" dialog: the notes above the list of findings, and Close (IDCANCEL).
#define IDD_CHECK 139
#define IDC_CHECK_NOTES 1060
#define IDC_CHECK_LIST 1061
#define IDM_CHECK_FILE 40009
