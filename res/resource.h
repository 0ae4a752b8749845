/* Resource identifiers, shared by the resource script and the program. */
#ifndef QUILMAREN_RESOURCE_H
#define QUILMAREN_RESOURCE_H

#define IDD_SETUP 103
#define IDD_WARNING 104
#define IDD_SETUP_MANAGED 106 /* Setup where an organisation sets some of it */

#define IDC_FREQUENCY 1000
#define IDC_MINUTES 1002
#define IDC_HOURS 1003
#define IDC_LINK 1004
#define IDC_LATER 1005 /* made by the warning when it opens */
#define IDC_MANAGED 1006

#define IDM_EXIT 105
#define IDM_HELP 32771
#define IDM_SETUP 32772

/* Icon and cursor images, numbered explicitly so their ids never depend on the tool. */
#define IDI_GROUP2_FIRST 1
#define IDI_WARNING_FIRST 7
#define IDI_KAVRICON_FIRST 13
#define IDCUR_HAND 19
#define IDI_KAVRITRAY_FIRST 20

#define LINK_ADDRESS "https://quilmaren.com"

#endif
