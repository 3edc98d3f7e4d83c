// Numbering and wording are fixed: other texts, peers and operators refer to them.
#include "logic/language/texttable.h"

namespace zampo {

const std::array<TextEntry, kTextCount>& textTable() {
    static const std::array<TextEntry, kTextCount> table = [] {
        std::array<TextEntry, kTextCount> t{};
        t[0] = {"Unknown", "Onbekend"};
        t[1] = {"Priva Office alarms will no longer be sent to ZAM-Pro!",
                "Priva Office Alarmen zullen niet meer worden doorgestuurd naar ZAM-Pro!",
                "Priva Office alarms will no longer be sent to Zam Pro!"};
        t[2] = {"Do you really want to exit?", "Weet u zeker dat u wilt afsluiten?"};
        t[3] = {"Warning", "Waarschuwing"};
        t[4] = {"Send:", "Verstuur:"};
        t[5] = {"Error connecting to ZamMeld", "Fout bij verbinden met ZamMeld"};
        t[6] = {"Zam PO socket error:", "Zam PO socket fout"};
        t[7] = {"Problem cleaning up in ZamMeldSocket", "Probleem bij opschonen in ZamMeldSocket"};
        t[8] = {"Delete this location completely?", "Deze locatie volledig verwijderen?"};
        t[9] = {"Delete this alarm?", "Dit alarm verwijderen?"};
        t[10] = {"Location", "Locatie"};
        t[11] = {"Alarm", "Alarm"};
        t[12] = {"This code already exists!", "De code bestaat reeds!"};
        t[13] = {"PCU", "PCU"};
        t[14] = {"Location", "Locatie"};
        t[15] = {"Alarm", "Alarm", "Alarmtype"};
        t[16] = {"ZAM Alarm", "ZAM Alarm", "Zam Alarm"};
        t[17] = {"General Exception", "Algemene uitzondering"};
        t[18] = {"Delete all selected exceptions and locations?",
                 "Alle geselecteerde uitzonderingen en lokaties verwijderen?", "Delete all selected exceptions?"};
        t[19] = {"XML file", "XML bestand"};
        t[20] = {"Save XML file", "XML bestand opslaan"};
        t[21] = {"All files", "Alle bestanden"};
        t[22] = {"Open XML file", "XML bestand openen"};
        t[23] = {"File not found:", "Bestand niet gevonden:"};
        t[24] = {"Priva Office Interface Connection Lost", "Priva Office Koppeling Verbinding verbroken",
                 "Priva Office Koppeling Watchdog Fout"};
        t[25] = {"Priva Office Interface System Error", "Priva Office Koppeling Systeemfout",
                 "Priva Office Koppeling Systeemfout"};
        t[26] = {"Priva Office Interface Config Error", "Priva Office Koppeling Instelfout",
                 "Priva Office Koppeling Instelfout"};
        t[27] = {"Incorrect file structure", "Onjuiste bestandsindeling"};
        t[28] = {"Application running", "Programma actief"};
        t[29] = {"Collect alarm definitions", "Alarmdefinities ophalen"};
        t[30] = {"Undefined links found!", "Niet-gekoppelde alarmen gevonden!"};
        t[31] = {"Timeout collecting definitions!", "Wachttijd verstreken bij ophalen van definities"};
        t[32] = {"Timeout collecting alarms!", "Wachttijd verstreken bij ophalen van actuele alarmen",
                 "Timeout collecting alarms !"};
        t[33] = {"Error communicating with PO server", "Fout tijdens communicatie met PO Server"};
        t[34] = {"Error getting data from Priva Office", "Fout bij ophalen gegevens van Priva Office"};
        t[35] = {"Location", "Locatie"};
        t[36] = {"Location-code", "Locatiecode", "Locationcode:"};
        t[37] = {"Location-name", "Locatienaam", "Locationname:"};
        t[38] = {"Alarm", "Alarm"};
        t[39] = {"Alarm-code", "Alarm-code", "Alarmcode:"};
        t[40] = {"Alarm-name", "Alarm-name", "Alarmname:"};
        t[41] = {"Cancel", "Annuleren"};
        t[42] = {"OK", "OK"};
        t[43] = {"Add", "Toevoegen"};
        t[44] = {"Edit", "Bewerken"};
        t[45] = {"Code", "Code"};
        t[46] = {"Text", "Tekst"};
        t[48] = {"Filter", "Filter"};
        t[49] = {"Add Exceptions", "Uitzonderingen toevoegen"};
        t[50] = {"nr", "nr"};
        t[51] = {"text", "tekst"};
        t[52] = {"Add only to the selected location(s)", "Toevoegen aan geselecteerde locatie(s)"};
        t[53] = {"Add as general exception (independent from locations)",
                 "Toevoegen als algemene uitzondering (onafhankelijk van locaties)"};
        t[54] = {"Cancel", "Annuleren"};
        t[55] = {"Add Selection", "Selectie toevoegen"};
        t[56] = {"Link configuration", "Koppeling instellen"};
        t[57] = {"ZAM-Pro tcp/IP settings", "ZAM-Pro tcp/IP koppeling", "Zam tcp/IP settings"};
        t[58] = {"Priva Office / Other settings", "Priva Office / overige instellingen"};
        t[59] = {"Priva Office Locations", "Priva Office Locaties"};
        t[60] = {"Zam Locations and Alarms", "ZAM-Pro Locaties en Alarmen"};
        t[61] = {"Refresh Priva Office definitions", "Ververs Priva Office definities",
                 "Refresh Priva Office Definitions"};
        t[62] = {"Add exception", "Uitzonderingen toevoegen"};
        t[63] = {"Remove selected exceptions", "Verwijder geselecteerde uitzonderingen"};
        t[64] = {"Assign alarm to selected items", "Alarm toekennen aan geselecteerde definities"};
        t[65] = {"Add alarm or location", "Alarm of locatie toevoegen"};
        t[66] = {"Delete selected alarm or location", "Verwijder geselecteerd alarm of locatie"};
        t[67] = {"Edit selected alarm or location", "Wijzig geselecteerd alarm of locatie"};
        t[68] = {"Import locations and alarms from ZAM-Pro", "Importeer locaties en alarmen uit ZAM-Pro"};
        t[69] = {"Export locations and alarms to ZAM-Pro", "Exporteer locaties en alarmen naar ZAM-Pro"};
        t[70] = {"Filter:", "Filter:"};
        t[71] = {"Hide exceptions", "Verberg uitzonderingen"};
        t[72] = {"Settings:", "Instellingen"};
        t[73] = {"ZAM-Pro server hostname or IP address:", "ZAM-Pro servernaam of IP adres",
                 "ZAM-Pro server hostname or address:"};
        t[74] = {"IP port", "IP poort"};
        t[75] = {"Test", "Test"};
        t[76] = {"Location", "Locatie"};
        t[77] = {"Alarm", "Alarm"};
        t[78] = {"State", "Status"};
        t[79] = {"Send test", "Verstuur test"};
        t[80] = {"Clear window", "Wis scherm"};
        t[81] = {"PO server hostname or IP address:", "PO Server naam of IP adres", "PO server hostname or address:"};
        t[82] = {"After changing settings, ZamPO MUST be restarted.",
                 "Na wijzigen van instellingen MOET ZamPO opnieuw gestart worden"};
        t[83] = {"Language:", "Taal:"};
        t[84] = {"Importing can result in location- and alarmnames being overwritten.",
                 "Bij het importeren kunnen locatie- en alarmnamen overschreven worden.", ""};
        t[85] = {"Continue?", "Doorgaan?", ""};
        t[86] = {"Send PCU names to ZAM when sending alarms",
                 "Verstuur PCU namen naar ZAM bij het versturen van alarmen"};
        t[87] = {"Recv:", "Ontv:"};
        t[88] = {"Zam watchdog ID (each tcp/IP client that connects to ZAM must have a different id):",
                 "ZAM watchdog ID (elke met ZAM verbonden tcp/IP client moet een eigen ID hebben):"};
        t[89] = {"Definitions collected from Priva Office", "Definities opgehaald uit Priva Office", ""};
        t[90] = {"Alarm status changed", "Alarm status gewijzigd"};
        t[91] = {"Error writing status", "Fout bij schrijven status"};
        t[92] = {"Show unassigned alarms", "Toon niet-gekoppelde alarmen"};
        t[93] = {"Filter punctuation from alarm texts", "Filter leestekens uit alarmteksten"};
        t[94] = {"Group", "Groep", "Groep"};
        t[95] = {"Delay", "Tijd"};
        t[96] = {"Assign group alarm to selected items", "Groepsalarm toekennen aan geselecteerde definities"};
        t[97] = {"Type", "Type"};
        t[98] = {"Number", "Nummer"};
        t[99] = {"Description", "Omschrijving"};
        t[100] = {"Group delay", "Groepsvertraging"};
        t[101] = {"seconds", "seconden"};
        t[102] = {"Delete group alarm from selected items", "Verwijder groepsalarm bij geselecteerde definities"};
        t[103] = {"PreAlarm", "Voormelding"};
        t[104] = {"Group timeout passed", "Wachttijd voor groep verstreken"};
        t[105] = {"Alarm not accepted by ZamMeld", "Alarm niet geaccepteerd door ZamMeld!",
                  "Alarm not accepted by ZamMeld!"};
        t[106] = {"No definition found for alarm: ", "Geen definitie gevonden bij alarm: "};
        t[107] = {"Repeat interval", "Herhaaltijd"};
        t[108] = {"minutes", "minuten"};
        t[109] = {"Alarm still active, repeated by ZamPO", "Alarm nog steeds actief, wordt herhaald door ZamPO",
                  "Repeat Alarm"};
        t[110] = {"Repeat group", "Herhaal groep"};
        t[111] = {"PO connection initialized", "PO verbinding geïnitialiseerd"};
        return t;
    }();
    return table;
}

const char* textFallback(int n) {
    const TextEntry* e = nullptr;
    if (n >= 0 && n < kTextCount)
        e = &textTable()[n];
    else if (n >= kAddedTextFirst && n < kAddedTextFirst + kAddedTextCount)
        e = &addedTextTable()[n - kAddedTextFirst];
    if (!e) return "";
    return e->fallback ? e->fallback : e->english ? e->english : "";
}

const std::array<TextEntry, kAddedTextCount>& addedTextTable() {
    static const std::array<TextEntry, kAddedTextCount> table = [] {
        std::array<TextEntry, kAddedTextCount> t{};
        auto at = [&t](int n) -> TextEntry& { return t[n - kAddedTextFirst]; };
        at(200) = {"Active alarms", "Actieve alarmen"};
        at(201) = {"Nr", "Nr"};
        at(202) = {"Since", "Sinds"};
        at(203) = {"Reported", "Gemeld"};
        at(204) = {"Error", "Fout"};
        at(205) = {"Delay left", "Resterende vertraging"};
        at(206) = {"Next repeat", "Volgende herhaling"};
        at(207) = {"active", "actief"};
        at(208) = {"reset", "hersteld"};
        at(209) = {"no link", "niet gekoppeld"};
        at(210) = {"refused by ZamMeld, sent again", "geweigerd door ZamMeld, wordt opnieuw verstuurd"};
        at(211) = {"not accepted after three attempts", "niet geaccepteerd na drie pogingen"};
        at(212) = {"no answer within 10 seconds", "geen antwoord binnen 10 seconden"};
        at(213) = {"to report", "nog te melden"};
        at(214) = {"Group alarm", "Groepsalarm"};
        at(215) = {"Change not saved:", "Wijziging niet opgeslagen:"};
        at(216) = {"Export not written:", "Export niet geschreven:"};
        at(217) = {"Import refused:", "Import geweigerd:"};
        at(218) = {"File cannot be read:", "Bestand kan niet gelezen worden:"};
        at(219) = {"No row of the grid is selected.", "Er is geen regel in het overzicht geselecteerd."};
        at(220) = {"No alarm is selected.", "Er is geen alarm geselecteerd."};
        at(221) = {"The location takes six digits.", "De locatie bestaat uit zes cijfers."};
        at(222) = {"Editor: the service forwards the alarms", "Bewerken: de service stuurt de alarmen door"};
        at(223) = {"Log file not written", "Logbestand niet geschreven"};
        at(224) = {"Gateway status", "Status van de gateway"};
        at(225) = {"Messages waiting", "Wachtende berichten"};
        at(226) = {"Last walk", "Laatste doorloop"};
        at(227) = {"alarms not shown", "alarmen niet getoond"};
        at(228) = {"failing", "storing"};
        at(229) = {"not connected", "niet verbonden"};
        at(230) = {"Rule", "Regel"};
        at(231) = {"location link", "locatiekoppeling"};
        at(232) = {"location exception", "uitzondering van de locatie"};
        at(233) = {"general exception", "algemene uitzondering"};
        at(234) = {"none", "geen"};
        at(245) = {"Explain the route of the selected row", "Route van de geselecteerde regel uitleggen"};
        at(246) = {"Route of the alarm", "Route van het alarm"};
        return t;
    }();
    return table;
}

}  // namespace zampo
