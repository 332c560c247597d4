// cvsetup's string table, English and Japanese under the same identifiers.
// %1..%9 stand for the values the program puts in.
#pragma once

// Help
#define IDS_CLI_HELP 1000

// Usage errors: one line, then the hint
#define IDS_CLI_NO_COMMAND 1010
#define IDS_CLI_UNKNOWN_COMMAND 1011
#define IDS_CLI_UNKNOWN_OPTION 1012
#define IDS_CLI_MISSING_ARGUMENT 1013
#define IDS_CLI_EXTRA_ARGUMENT 1014
#define IDS_CLI_BAD_MAC 1015
#define IDS_CLI_BAD_ADDRESS 1016
#define IDS_CLI_BAD_TARGET 1017
#define IDS_CLI_NETWORK_ADDRESS 1018
#define IDS_CLI_BROADCAST_ADDRESS 1019
#define IDS_CLI_HELP_HINT 1020
#define IDS_CLI_PC_ADDRESS 1021
#define IDS_CLI_ADDRESS_IN_USE 1022
#define IDS_CLI_BAD_WAIT 1023

// Outcomes on standard error
#define IDS_CLI_NONE_FOUND 1030
#define IDS_CLI_NO_SUCH_MAC 1031
#define IDS_CLI_NO_SUCH_ADDRESS 1032
#define IDS_CLI_SCAN_FAILED 1033
#define IDS_CLI_EXCHANGE_FAILED 1034
#define IDS_CLI_BROWSER_FAILED 1035
#define IDS_CLI_OUTSIDE_SUBNET 1036
// The list's warning for a converter outside the PC's subnet, and its labels
#define IDS_CLI_SUBNET_WARNING 1037
#define IDS_CLI_SUBNET_ADDRESS_LABEL 1038
#define IDS_CLI_SUBNET_LABEL 1039
// The page check of open: no browser started
#define IDS_CLI_PAGE_REFUSED 1040
#define IDS_CLI_PAGE_NO_ANSWER 1041

// The converter table
#define IDS_CLI_COLUMN_NAME 1050
#define IDS_CLI_COLUMN_ADDRESS 1051
#define IDS_CLI_COLUMN_MAC 1052
#define IDS_CLI_COLUMN_ADAPTER 1053
#define IDS_CLI_COLUMN_PC_ADDRESS 1054
#define IDS_CLI_COLUMN_SUBNET 1055
#define IDS_CLI_COLUMN_MODEL 1056
#define IDS_CLI_SUBNET_SAME 1057
#define IDS_CLI_SUBNET_OTHER 1058
#define IDS_CLI_UNKNOWN 1059
#define IDS_CLI_MODEL_SUPPORTED 1060
#define IDS_CLI_MODEL_OTHER 1061

// assign and open
#define IDS_CLI_ASSIGN_TAKEN 1070
#define IDS_CLI_ASSIGN_REFUSED 1071
#define IDS_CLI_ASSIGN_NO_ANSWER 1072
#define IDS_CLI_OPENED 1073

// diagnose
#define IDS_CLI_CONVERTERS 1080
#define IDS_CLI_NONE 1081
#define IDS_CLI_LINKS 1082
#define IDS_CLI_LINK_SENT 1083
#define IDS_CLI_LINK_SEND_FAILED 1084
#define IDS_CLI_LINK_RECEIVE_FAILED 1085
#define IDS_CLI_LINK_NO_ADDRESS 1086
#define IDS_CLI_FINDINGS 1087
// After a firewall finding, before the line an administrator can run
#define IDS_CLI_FIREWALL_COMMAND 1088
#define IDS_CLI_FIREWALL_COMMAND_BLOCKED 1089
