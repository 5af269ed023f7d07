<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CommandLine</name>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Print dialog with the printer&apos;s plug-in panels.</source>
        <translation>Druckdialog mit den Zusatzfeldern des Druckers.</translation>
    </message>
    <message>
        <source>CUPS queue to start on (default: the default destination).</source>
        <translation>CUPS-Warteschlange, mit der begonnen wird (Vorgabe: das Standardziel).</translation>
    </message>
    <message>
        <source>PPD file to use instead of a queue.</source>
        <translation>PPD-Datei, die statt einer Warteschlange verwendet wird.</translation>
    </message>
    <message>
        <source>List the panels (name TAB kind) and exit.</source>
        <translation>Die Felder auflisten (Name TAB Art) und beenden.</translation>
    </message>
    <message>
        <source>Render the dialog to PNG and exit.</source>
        <translation>Den Dialog als PNG-Bild ausgeben und beenden.</translation>
    </message>
    <message>
        <source>With --screenshot: show the page with this name.</source>
        <translation>Mit --screenshot: die Seite mit diesem Namen zeigen.</translation>
    </message>
    <message>
        <source>With --screenshot: press the button with this text first and render the window it opens.</source>
        <translation>Mit --screenshot: zuerst die Schaltfläche mit diesem Text drücken und das Fenster ausgeben, das sie öffnet.</translation>
    </message>
    <message>
        <source>Document to print (optional).</source>
        <translation>Zu druckendes Dokument (wahlweise).</translation>
    </message>
    <message>
        <source>--queue and --ppd exclude each other</source>
        <translation>--queue und --ppd schließen einander aus</translation>
    </message>
    <message>
        <source>only one document can be printed at a time</source>
        <translation>es kann nur ein Dokument auf einmal gedruckt werden</translation>
    </message>
    <message>
        <source>%1: not a readable file</source>
        <translation>%1: keine lesbare Datei</translation>
    </message>
    <message>
        <source>no printer is set up in CUPS; name a PPD file with --ppd</source>
        <translation>in CUPS ist kein Drucker eingerichtet; nennen Sie eine PPD-Datei mit --ppd</translation>
    </message>
    <message>
        <source>the saved print settings cannot be read</source>
        <translation>die gespeicherten Druckeinstellungen können nicht gelesen werden</translation>
    </message>
    <message>
        <source>no page &quot;%1&quot; to show</source>
        <translation>keine Seite „%1“ zum Zeigen</translation>
    </message>
    <message>
        <source>no button &quot;%1&quot; to press</source>
        <translation>keine Schaltfläche „%1“ zum Drücken</translation>
    </message>
    <message>
        <source>&quot;%1&quot; opened no window</source>
        <translation>„%1“ hat kein Fenster geöffnet</translation>
    </message>
    <message>
        <source>%1: the picture cannot be written</source>
        <translation>%1: das Bild kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>there is no display to show the dialog on (DISPLAY is not set)</source>
        <translation>es gibt keine Anzeige, auf der der Dialog erscheinen kann (DISPLAY ist nicht gesetzt)</translation>
    </message>
    <message>
        <source>the PPD names the plug-in &quot;%1&quot;, which was not found in %2</source>
        <translation>die PPD nennt das Zusatzmodul „%1“, das in %2 nicht gefunden wurde</translation>
    </message>
</context>
<context>
    <name>HostSession</name>
    <message>
        <source>There is no print queue &quot;%1&quot; (%2).</source>
        <translation>Es gibt keine Druckwarteschlange „%1“ (%2).</translation>
    </message>
    <message>
        <source>The queue &quot;%1&quot; has no PPD (%2).</source>
        <translation>Die Warteschlange „%1“ hat keine PPD-Datei (%2).</translation>
    </message>
</context>
<context>
    <name>JobCapabilities</name>
    <message>
        <source>The print server cannot be reached: %1</source>
        <translation>Der Druckserver ist nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>The job options of &quot;%1&quot; are not known: %2</source>
        <translation>Die Auftragsoptionen von „%1“ sind nicht bekannt: %2</translation>
    </message>
</context>
<context>
    <name>PluginSet</name>
    <message>
        <source>%1: not a print-dialog plug-in</source>
        <translation>%1: kein Druckdialog-Zusatzmodul</translation>
    </message>
    <message>
        <source>%1: another plug-in named &quot;%2&quot; was found first</source>
        <translation>%1: ein anderes Zusatzmodul namens „%2“ wurde zuerst gefunden</translation>
    </message>
</context>
<context>
    <name>printpanels::host</name>
    <message>
        <source>No print queue was chosen.</source>
        <translation>Es wurde keine Druckwarteschlange gewählt.</translation>
    </message>
    <message>
        <source>There is no document to print.</source>
        <translation>Es gibt kein Dokument zum Drucken.</translation>
    </message>
    <message>
        <source>Copies must be between 1 and 9999.</source>
        <translation>Die Anzahl der Kopien muss zwischen 1 und 9999 liegen.</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The print server cannot be reached: %1</source>
        <translation>Der Druckserver ist nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>The job was not accepted by &quot;%1&quot;: %2</source>
        <translation>„%1“ hat den Auftrag nicht angenommen: %2</translation>
    </message>
    <message>
        <source>The document could not be sent to &quot;%1&quot;: %2</source>
        <translation>Das Dokument konnte nicht an „%1“ gesendet werden: %2</translation>
    </message>
    <message>
        <source>The job was cancelled.</source>
        <translation>Der Auftrag wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The document is protected by a password.</source>
        <translation>Das Dokument ist durch ein Kennwort geschützt.</translation>
    </message>
    <message>
        <source>The document cannot be read as PDF.</source>
        <translation>Das Dokument kann nicht als PDF gelesen werden.</translation>
    </message>
    <message>
        <source>The page ranges are not valid.</source>
        <translation>Die Seitenbereiche sind ungültig.</translation>
    </message>
    <message>
        <source>The chosen pages are not in the document.</source>
        <translation>Die gewählten Seiten sind nicht im Dokument.</translation>
    </message>
    <message>
        <source>The preview needs CUPS&apos;s cupsfilter, which cannot be started.</source>
        <translation>Die Vorschau braucht cupsfilter von CUPS, das nicht gestartet werden kann.</translation>
    </message>
    <message>
        <source>The document could not be converted for the preview in time.</source>
        <translation>Das Dokument konnte nicht rechtzeitig für die Vorschau umgewandelt werden.</translation>
    </message>
    <message>
        <source>No preview: none of the installed CUPS filters converts this document to PDF. Printing is not affected.</source>
        <translation>Keine Vorschau: keiner der installierten CUPS-Filter wandelt dieses Dokument in PDF um. Das Drucken ist davon nicht betroffen.</translation>
    </message>
    <message>
        <source>The printers cannot be listed: %1</source>
        <translation>Die Drucker können nicht aufgelistet werden: %1</translation>
    </message>
    <message>
        <source>The state of &quot;%1&quot; is not known: %2</source>
        <translation>Der Zustand von „%1“ ist nicht bekannt: %2</translation>
    </message>
</context>
<context>
    <name>printpanels::host::GeneralPage</name>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Standort</translation>
    </message>
    <message>
        <source>Pri&amp;nter:</source>
        <translation>Dr&amp;ucker:</translation>
    </message>
    <message>
        <source>B&amp;rowse...</source>
        <translation>Durchsu&amp;chen...</translation>
    </message>
    <message>
        <source>Choose the file to save the document to</source>
        <translation>Die Datei wählen, in der das Dokument gespeichert wird</translation>
    </message>
    <message>
        <source>Output &amp;file:</source>
        <translation>Ausga&amp;bedatei:</translation>
    </message>
    <message>
        <source>All pages</source>
        <translation>Alle Seiten</translation>
    </message>
    <message>
        <source>Pages and ranges separated by commas, e.g. 1-3, 8</source>
        <translation>Seiten und Bereiche durch Kommas getrennt, z. B. 1-3, 8</translation>
    </message>
    <message>
        <source>Empty for all pages, or pages and ranges separated by commas, e.g. 1-3, 8</source>
        <translation>Leer für alle Seiten, oder Seiten und Bereiche durch Kommas getrennt, z. B. 1-3, 8</translation>
    </message>
    <message>
        <source>Pa&amp;ges:</source>
        <translation>S&amp;eiten:</translation>
    </message>
    <message>
        <source>C&amp;ollate</source>
        <translation>S&amp;ortieren</translation>
    </message>
    <message>
        <source>Print each copy whole before the next</source>
        <translation>Jede Kopie ganz drucken, bevor die nächste beginnt</translation>
    </message>
    <message>
        <source>&amp;Copies:</source>
        <translation>&amp;Kopien:</translation>
    </message>
    <message>
        <source>Save Document As</source>
        <translation>Dokument speichern unter</translation>
    </message>
    <message>
        <source>%1 (default)</source>
        <translation>%1 (Standard)</translation>
    </message>
    <message>
        <source>Save to File</source>
        <translation>In Datei speichern</translation>
    </message>
    <message>
        <source>Copies the document to a file</source>
        <translation>Kopiert das Dokument in eine Datei</translation>
    </message>
</context>
<context>
    <name>printpanels::host::JobPage</name>
    <message>
        <source>Now</source>
        <translation>Sofort</translation>
    </message>
    <message>
        <source>At a time of day</source>
        <translation>Zu einer Uhrzeit</translation>
    </message>
    <message>
        <source>On hold (release it later)</source>
        <translation>Angehalten (später freigeben)</translation>
    </message>
    <message>
        <source>During the day</source>
        <translation>Tagsüber</translation>
    </message>
    <message>
        <source>In the evening</source>
        <translation>Am Abend</translation>
    </message>
    <message>
        <source>At night</source>
        <translation>In der Nacht</translation>
    </message>
    <message>
        <source>In the second shift</source>
        <translation>In der zweiten Schicht</translation>
    </message>
    <message>
        <source>In the third shift</source>
        <translation>In der dritten Schicht</translation>
    </message>
    <message>
        <source>At the weekend</source>
        <translation>Am Wochenende</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keines</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Classified</source>
        <translation>Verschlusssache</translation>
    </message>
    <message>
        <source>Confidential</source>
        <translation>Vertraulich</translation>
    </message>
    <message>
        <source>Secret</source>
        <translation>Geheim</translation>
    </message>
    <message>
        <source>Top secret</source>
        <translation>Streng geheim</translation>
    </message>
    <message>
        <source>Unclassified</source>
        <translation>Nicht eingestuft</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>The job options apply when the document is printed to a queue.</source>
        <translation>Die Auftragsoptionen gelten, wenn das Dokument auf eine Warteschlange gedruckt wird.</translation>
    </message>
    <message>
        <source>Jobs of higher priority print first</source>
        <translation>Aufträge mit höherer Priorität werden zuerst gedruckt</translation>
    </message>
    <message>
        <source>P&amp;riority:</source>
        <translation>P&amp;riorität:</translation>
    </message>
    <message>
        <source>Print &amp;document:</source>
        <translation>&amp;Zeitpunkt:</translation>
    </message>
    <message>
        <source>In your local time</source>
        <translation>In Ihrer Ortszeit</translation>
    </message>
    <message>
        <source>At &amp;time:</source>
        <translation>&amp;Uhrzeit:</translation>
    </message>
    <message>
        <source>Cover page &amp;before:</source>
        <translation>Deck&amp;blatt davor:</translation>
    </message>
    <message>
        <source>Cover page &amp;after:</source>
        <translation>Deckblatt da&amp;nach:</translation>
    </message>
    <message>
        <source>An account or project the job is billed to</source>
        <translation>Ein Konto oder Projekt, dem der Auftrag berechnet wird</translation>
    </message>
    <message>
        <source>Billing i&amp;nformation:</source>
        <translation>Abrechnungs&amp;information:</translation>
    </message>
    <message>
        <source>Priority:</source>
        <translation>Priorität:</translation>
    </message>
    <message>
        <source>Print:</source>
        <translation>Drucken:</translation>
    </message>
    <message>
        <source>at %1</source>
        <translation>um %1</translation>
    </message>
    <message>
        <source>Cover pages:</source>
        <translation>Deckblätter:</translation>
    </message>
    <message>
        <source>%1 before, %2 after</source>
        <translation>%1 davor, %2 danach</translation>
    </message>
    <message>
        <source>Billing information:</source>
        <translation>Abrechnungsinformation:</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PageSetupPage</name>
    <message>
        <source>&amp;Two-sided:</source>
        <translation>&amp;Zweiseitig:</translation>
    </message>
    <message>
        <source>Paper si&amp;ze:</source>
        <translation>Papier&amp;format:</translation>
    </message>
    <message>
        <source>&amp;Orientation:</source>
        <translation>Aus&amp;richtung:</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Hochformat</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>Querformat</translation>
    </message>
    <message>
        <source>Reverse landscape</source>
        <translation>Umgekehrtes Querformat</translation>
    </message>
    <message>
        <source>Reverse portrait</source>
        <translation>Umgekehrtes Hochformat</translation>
    </message>
    <message>
        <source>Pages per &amp;sheet:</source>
        <translation>Seiten pro &amp;Blatt:</translation>
    </message>
    <message>
        <source>Order on the s&amp;heet:</source>
        <translation>An&amp;ordnung auf dem Blatt:</translation>
    </message>
    <message>
        <source>Sc&amp;aling:</source>
        <translation>Ska&amp;lierung:</translation>
    </message>
    <message>
        <source>Only pr&amp;int:</source>
        <translation>N&amp;ur drucken:</translation>
    </message>
    <message>
        <source>All pages</source>
        <translation>Alle Seiten</translation>
    </message>
    <message>
        <source>Odd pages</source>
        <translation>Ungerade Seiten</translation>
    </message>
    <message>
        <source>Even pages</source>
        <translation>Gerade Seiten</translation>
    </message>
    <message>
        <source>Scale to &amp;fit the paper</source>
        <translation>An das Papier an&amp;passen</translation>
    </message>
    <message>
        <source>Print in &amp;reverse order</source>
        <translation>In umgekehrter Reihenfol&amp;ge drucken</translation>
    </message>
    <message>
        <source>The last page comes out first</source>
        <translation>Die letzte Seite kommt zuerst heraus</translation>
    </message>
    <message>
        <source>Order on the sheet:</source>
        <translation>Anordnung auf dem Blatt:</translation>
    </message>
    <message>
        <source>Scaling:</source>
        <translation>Skalierung:</translation>
    </message>
    <message>
        <source>Scale to fit the paper:</source>
        <translation>An das Papier anpassen:</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Only print:</source>
        <translation>Nur drucken:</translation>
    </message>
    <message>
        <source>Page order:</source>
        <translation>Seitenreihenfolge:</translation>
    </message>
    <message>
        <source>Reverse</source>
        <translation>Umgekehrt</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Left to right, top to bottom</source>
        <translation>Von links nach rechts, von oben nach unten</translation>
    </message>
    <message>
        <source>Left to right, bottom to top</source>
        <translation>Von links nach rechts, von unten nach oben</translation>
    </message>
    <message>
        <source>Right to left, top to bottom</source>
        <translation>Von rechts nach links, von oben nach unten</translation>
    </message>
    <message>
        <source>Right to left, bottom to top</source>
        <translation>Von rechts nach links, von unten nach oben</translation>
    </message>
    <message>
        <source>Top to bottom, left to right</source>
        <translation>Von oben nach unten, von links nach rechts</translation>
    </message>
    <message>
        <source>Top to bottom, right to left</source>
        <translation>Von oben nach unten, von rechts nach links</translation>
    </message>
    <message>
        <source>Bottom to top, left to right</source>
        <translation>Von unten nach oben, von links nach rechts</translation>
    </message>
    <message>
        <source>Bottom to top, right to left</source>
        <translation>Von unten nach oben, von rechts nach links</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Shrink to fit when too large</source>
        <translation>Verkleinern, wenn zu groß</translation>
    </message>
    <message>
        <source>Fit to the paper</source>
        <translation>An das Papier anpassen</translation>
    </message>
    <message>
        <source>Fill the paper</source>
        <translation>Papier ausfüllen</translation>
    </message>
    <message>
        <source>Actual size</source>
        <translation>Originalgröße</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PpdDocument</name>
    <message>
        <source>%1: not a usable PPD file (%2, line %3)</source>
        <translation>%1: keine brauchbare PPD-Datei (%2, Zeile %3)</translation>
    </message>
    <message>
        <source>The printer has no option &quot;%1&quot;.</source>
        <translation>Der Drucker hat keine Option „%1“.</translation>
    </message>
    <message>
        <source>%1 takes %2 to %3 digits.</source>
        <translation>%1 nimmt %2 bis %3 Ziffern.</translation>
    </message>
    <message>
        <source>%1 takes %2 to %3 characters.</source>
        <translation>%1 nimmt %2 bis %3 Zeichen.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not applied: it conflicts with other settings.</source>
        <translation>„%1“ wurde nicht übernommen: es widerspricht anderen Einstellungen.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not applied: it conflicts with %2.</source>
        <translation>„%1“ wurde nicht übernommen: es widerspricht %2.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; changed other settings to resolve a conflict: %2.</source>
        <translation>„%1“ hat andere Einstellungen geändert, um einen Widerspruch aufzulösen: %2.</translation>
    </message>
    <message>
        <source>%1: the printer takes no such value.</source>
        <translation>%1: Der Drucker nimmt diesen Wert nicht an.</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PreviewPane</name>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Preview state</source>
        <translation>Zustand der Vorschau</translation>
    </message>
    <message>
        <source>Previe&amp;w sheet:</source>
        <translation>&amp;Vorschaublatt:</translation>
    </message>
    <message>
        <source>No document to preview.</source>
        <translation>Kein Dokument für die Vorschau.</translation>
    </message>
    <message>
        <source>Preparing the preview of %1...</source>
        <translation>Die Vorschau von %1 wird vorbereitet...</translation>
    </message>
    <message>
        <source> of %1</source>
        <translation> von %1</translation>
    </message>
    <message>
        <source>1 page</source>
        <translation>1 Seite</translation>
    </message>
    <message>
        <source>%1 pages</source>
        <translation>%1 Seiten</translation>
    </message>
    <message>
        <source>1 sheet</source>
        <translation>1 Blatt</translation>
    </message>
    <message>
        <source>%1 sheets</source>
        <translation>%1 Blätter</translation>
    </message>
    <message>
        <source>%1 on %2.</source>
        <translation>%1 auf %2.</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PrintDialog</name>
    <message>
        <source>Landscape</source>
        <translation>Querformat</translation>
    </message>
    <message>
        <source>Reverse landscape</source>
        <translation>Umgekehrtes Querformat</translation>
    </message>
    <message>
        <source>Reverse portrait</source>
        <translation>Umgekehrtes Hochformat</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Hochformat</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(keines)</translation>
    </message>
    <message>
        <source>Document:</source>
        <translation>Dokument:</translation>
    </message>
    <message>
        <source>Settings pages</source>
        <translation>Einstellungsseiten</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Page Setup</source>
        <translation>Seite einrichten</translation>
    </message>
    <message>
        <source>Printer Features</source>
        <translation>Druckerfunktionen</translation>
    </message>
    <message>
        <source>Summary of the settings</source>
        <translation>Zusammenfassung der Einstellungen</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Einstellung</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>Settings message</source>
        <translation>Meldung zu den Einstellungen</translation>
    </message>
    <message>
        <source>Sending the document</source>
        <translation>Das Dokument wird gesendet</translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation>&amp;Drucken</translation>
    </message>
    <message>
        <source>No queue: the panels of the PPD &quot;%1&quot;</source>
        <translation>Keine Warteschlange: die Felder der PPD-Datei „%1“</translation>
    </message>
    <message>
        <source>PPD file</source>
        <translation>PPD-Datei</translation>
    </message>
    <message>
        <source>Print - %1</source>
        <translation>Drucken - %1</translation>
    </message>
    <message>
        <source>The print settings could not be saved.</source>
        <translation>Die Druckeinstellungen konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Printer:</source>
        <translation>Drucker:</translation>
    </message>
    <message>
        <source>Save to file %1</source>
        <translation>In Datei %1 speichern</translation>
    </message>
    <message>
        <source>Copies:</source>
        <translation>Kopien:</translation>
    </message>
    <message>
        <source>%1, collated</source>
        <translation>%1, sortiert</translation>
    </message>
    <message>
        <source>Pages:</source>
        <translation>Seiten:</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Orientation:</source>
        <translation>Ausrichtung:</translation>
    </message>
    <message>
        <source>Pages per sheet:</source>
        <translation>Seiten pro Blatt:</translation>
    </message>
    <message>
        <source>Sa&amp;ve</source>
        <translation>S&amp;peichern</translation>
    </message>
    <message>
        <source>No document was given to print.</source>
        <translation>Es wurde kein Dokument zum Drucken angegeben.</translation>
    </message>
    <message>
        <source>There is no document to print.</source>
        <translation>Es gibt kein Dokument zum Drucken.</translation>
    </message>
    <message>
        <source>The pages to print are not valid: give pages and ranges separated by commas, e.g. 1-3, 8.</source>
        <translation>Die zu druckenden Seiten sind ungültig: geben Sie Seiten und Bereiche durch Kommas getrennt an, z. B. 1-3, 8.</translation>
    </message>
    <message>
        <source>Choose a file to save the document to.</source>
        <translation>Wählen Sie eine Datei, in der das Dokument gespeichert wird.</translation>
    </message>
    <message>
        <source>The document cannot be saved over itself.</source>
        <translation>Das Dokument kann nicht über sich selbst gespeichert werden.</translation>
    </message>
    <message>
        <source>%1 cannot be replaced.</source>
        <translation>%1 kann nicht ersetzt werden.</translation>
    </message>
    <message>
        <source>The document could not be saved to %1.</source>
        <translation>Das Dokument konnte nicht in %1 gespeichert werden.</translation>
    </message>
    <message>
        <source>Sending %1 to %2...</source>
        <translation>%1 wird an %2 gesendet...</translation>
    </message>
    <message>
        <source>Sent to %1 as job %2.</source>
        <translation>An %1 gesendet als Auftrag %2.</translation>
    </message>
    <message>
        <source>The job was cancelled; nothing was printed.</source>
        <translation>Der Auftrag wurde abgebrochen; nichts wurde gedruckt.</translation>
    </message>
    <message>
        <source>Cancelling the job...</source>
        <translation>Der Auftrag wird abgebrochen...</translation>
    </message>
    <message>
        <source>The help could not be opened.</source>
        <translation>Die Hilfe konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>Auftrag</translation>
    </message>
    <message>
        <source>The panels of this printer come from the plug-in &quot;%1&quot;, which is not installed (looked in %2); its options are on the Printer Features page.</source>
        <translation>Die Felder dieses Druckers kommen vom Zusatzmodul „%1“, das nicht installiert ist (gesucht in %2); seine Optionen stehen auf der Seite „Druckerfunktionen“.</translation>
    </message>
    <message>
        <source>Nothing was sent: see the %1 page.</source>
        <translation>Es wurde nichts gesendet: siehe die Seite „%1“.</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PrinterFeaturesPage</name>
    <message>
        <source>The printer has no further features.</source>
        <translation>Der Drucker hat keine weiteren Funktionen.</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PrinterStatus</name>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>Druckt</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>; not accepting jobs</source>
        <translation>; nimmt keine Aufträge an</translation>
    </message>
</context>
<context>
    <name>printpanels::host::PrinterStatusView</name>
    <message>
        <source>Printer state</source>
        <translation>Druckerzustand</translation>
    </message>
    <message>
        <source>State:</source>
        <translation>Zustand:</translation>
    </message>
    <message>
        <source>Supplies:</source>
        <translation>Verbrauchsmaterial:</translation>
    </message>
    <message>
        <source>%p% (low)</source>
        <translation>%p % (niedrig)</translation>
    </message>
    <message>
        <source>%p%</source>
        <translation>%p %</translation>
    </message>
</context>
<context>
    <name>printpanels::host::Supply</name>
    <message>
        <source>%1%</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>some left</source>
        <translation>etwas übrig</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
</context>
</TS>
