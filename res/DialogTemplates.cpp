#include "res/DialogTemplates.h"

#include "res/AboutBoxTemplate.h"
#include "res/EthernetPageTemplate.h"
#include "res/FieldbusPageTemplate.h"

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
    case IDD_ABOUTBOX:
        return &AboutBoxTemplate();
    case IDD_FIELDBUS_PAGE:
        return &FieldbusPageTemplate();
    case IDD_ETHERNET_PAGE:
        return &EthernetPageTemplate();
    default:
        return nullptr;
    }
}
