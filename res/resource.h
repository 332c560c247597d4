// Resource identifiers, grouped by the window that uses them. Plain defines:
// the resource compiler reads this file too.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Art shared by the windows
#define IDI_APPLICATION_ICON 141
#define IDB_SETUP_PICTURE 143
#define IDI_SORT_UP 144
#define IDI_SORT_DOWN 145

// ResultWindow (template 129)
#define IDD_RESULT_WINDOW 129
#define IDC_SETUP_PAGE 3
#define IDC_IP_ADDRESS_SETUP 4
#define IDC_DEVICE_LIST 1001
#define IDC_SCAN 1012
#define IDC_CLOSE 1013
#define IDC_LIST_LABEL 1015
#define IDS_COLUMN_NAME 103
#define IDS_COLUMN_ADDRESS 104
#define IDS_COLUMN_MAC 105
#define IDS_RESULT_TITLE 110
#define IDS_SCAN 111
#define IDS_SETUP_PAGE 113
#define IDS_IP_ADDRESS_SETUP 114
#define IDS_CLOSE 115
#define IDS_TIP_SETUP_PAGE 136
#define IDS_TIP_CLOSE 137
#define IDS_TIP_IP_ADDRESS_SETUP 138
#define IDS_TIP_SCAN 140
#define IDS_LIST_LABEL 146

// Address setup dialog (template 130)
#define IDD_IP_SETUP 130
#define IDC_EXECUTE_SETUP 4
#define IDC_CANCEL_SETUP 1013
#define IDC_ADDRESS_LABEL 1007
#define IDC_EXPLANATION 1008
#define IDC_ADDRESS_FIELD 1016
#define IDC_PC_ADDRESS 1020
#define IDS_IP_SETUP_TITLE 116
#define IDS_EXECUTE_SETUP 117
#define IDS_CANCEL_SETUP 118
#define IDS_CONVERTER_ADDRESS_LABEL 119
#define IDS_IP_SETUP_EXPLANATION 120
#define IDS_TIP_EXECUTE_SETUP 141
#define IDS_TIP_CANCEL_SETUP 142
#define IDS_PC_ADDRESS_LABEL 147
// A typed address refused at Execute Setup: %1 is the address
#define IDS_ADDRESS_IN_USE 170
#define IDS_ADDRESS_IS_NETWORK 171
#define IDS_ADDRESS_IS_BROADCAST 172
#define IDS_ADDRESS_IS_PC 173

// Status windows: ProgressWindow (133), LaunchingWindow (134),
// SettingAddressWindow (146); each shows its text in control 1007
#define IDD_PROGRESS 133
#define IDD_LAUNCHING 134
#define IDD_SETTING_ADDRESS 146
#define IDC_STATUS_TEXT 1007
#define IDC_PROGRESS_BAR 1021
#define IDS_SCANNING 121
#define IDS_WAITING_FOR_ADDRESS 122
#define IDS_LAUNCHING 123
#define IDS_SETTING_ADDRESS 149

// NoticeDialog (template 147): buttons IDOK (Yes) and IDCANCEL (No); the
// findings box is made at run time, only for a notice that has findings, the
// Scan Again button only for the notices that offer it, Allow in Firewall
// and the line that says why it did not only with the firewall's finding
#define IDD_NOTICE 147
#define IDC_NOTICE_TEXT 1007
#define IDC_NOTICE_FINDINGS 1030
#define IDC_SCAN_AGAIN 1031
#define IDS_SCAN_AGAIN 159
#define IDS_TIP_SCAN_AGAIN 160
#define IDC_ALLOW_IN_FIREWALL 1032
#define IDC_NOTICE_FIREWALL_LINE 1033
#define IDS_ALLOW_IN_FIREWALL 161
#define IDS_TIP_ALLOW_IN_FIREWALL 162
#define IDS_FIREWALL_DECLINED 163
#define IDS_FIREWALL_NOT_STARTED 164
#define IDS_FIREWALL_FAILED 165
#define IDS_FIREWALL_ACCESS_DENIED 166
#define IDS_FIREWALL_SERVICE_STOPPED 167
#define IDS_FIREWALL_NOT_REGISTERED 168
#define IDS_NOTICE_NOT_DETECTED_RESCAN 124
#define IDS_ERROR 125
#define IDS_NOTICE_NOT_DETECTED 126
#define IDS_NOTICE_OPEN_FAILED 127
#define IDS_NOTICE_ASSIGN_FAILED 148
#define IDS_NOTICE_SEVERAL 150
#define IDS_NOTICE_INCOMPLETE_ADDRESS 151
#define IDS_YES 155
#define IDS_NO 156

// Messages of the setup-page launch and the initial scan
#define IDS_OPEN_FAILED_FROM_LIST 128
#define IDS_SUBNET_WARNING 152
#define IDS_SUBNET_LABEL 153
#define IDS_SUBNET_ADDRESS_LABEL 157
#define IDS_SCAN_UNREACHABLE 158
