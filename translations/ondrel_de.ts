<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ondrel::Accent</name>
    <message>
        <source>Grey</source>
        <translation>Grau</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Lavender</source>
        <translation>Lavendel</translation>
    </message>
    <message>
        <source>Mint</source>
        <translation>Minze</translation>
    </message>
    <message>
        <source>Sky</source>
        <translation>Himmelblau</translation>
    </message>
    <message>
        <source>Coral</source>
        <translation>Koralle</translation>
    </message>
    <message>
        <source>Butter</source>
        <translation>Butter</translation>
    </message>
</context>
<context>
    <name>ondrel::AppcastUpdater</name>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Aktualisierungen kommen über die Paketverwaltung Ihres Systems.</translation>
    </message>
    <message>
        <source>the network module could not be loaded: %1</source>
        <translation>das Netzwerkmodul konnte nicht geladen werden: %1</translation>
    </message>
    <message>
        <source>the update feed is not readable</source>
        <translation>die Aktualisierungsquelle ist nicht lesbar</translation>
    </message>
</context>
<context>
    <name>ondrel::ClipboardItemDelegate</name>
    <message>
        <source>selection</source>
        <translation>Auswahl</translation>
    </message>
    <message>
        <source>Not saved</source>
        <translation>Nicht gespeichert</translation>
    </message>
</context>
<context>
    <name>ondrel::CopiedNotice</name>
    <message>
        <source>Could not copy</source>
        <translation>Kopieren fehlgeschlagen</translation>
    </message>
    <message>
        <source>Copied!</source>
        <translation>Kopiert!</translation>
    </message>
</context>
<context>
    <name>ondrel::DetailView</name>
    <message>
        <source>Edit &amp; Copy</source>
        <translation>Bearbeiten &amp; kopieren</translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation>Umwandlungen</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Entry text</source>
        <translation>Text des Eintrags</translation>
    </message>
    <message>
        <source>Ctrl+C to copy selection</source>
        <translation>Strg+C kopiert die Auswahl</translation>
    </message>
    <message numerus="yes">
        <source>%n chars</source>
        <translation>
            <numerusform>%n Zeichen</numerusform>
            <numerusform>%n Zeichen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n lines</source>
        <translation>
            <numerusform>%n Zeile</numerusform>
            <numerusform>%n Zeilen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ondrel::ExcludedAppsBox</name>
    <message>
        <source>Excluded Applications</source>
        <translation>Ausgeschlossene Anwendungen</translation>
    </message>
    <message>
        <source>This desktop does not tell Ondrel which application copied something, so these applications cannot be left out here.</source>
        <translation>Diese Arbeitsumgebung teilt Ondrel nicht mit, welche Anwendung etwas kopiert hat. Deshalb können diese Anwendungen hier nicht ausgeschlossen werden.</translation>
    </message>
    <message>
        <source>Applications not recorded</source>
        <translation>Nicht aufgezeichnete Anwendungen</translation>
    </message>
    <message>
        <source>Application to leave out</source>
        <translation>Auszuschließende Anwendung</translation>
    </message>
    <message>
        <source>Application or id</source>
        <translation>Name oder ID</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryList</name>
    <message>
        <source>Clipboard history</source>
        <translation>Verlauf der Zwischenablage</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>Anheften</translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation>Lösen</translation>
    </message>
    <message>
        <source>Entry actions</source>
        <translation>Aktionen für den Eintrag</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Don&apos;t Record from %1</source>
        <translation>Nichts aus %1 aufzeichnen</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryListModel</name>
    <message>
        <source>Not saved (%1): kept only until Ondrel quits</source>
        <translation>Nicht gespeichert (%1): bleibt nur erhalten, bis Ondrel beendet wird</translation>
    </message>
    <message>
        <source>from a mouse selection</source>
        <translation>aus einer Mausauswahl</translation>
    </message>
    <message>
        <source>pinned</source>
        <translation>angeheftet</translation>
    </message>
    <message>
        <source>not saved</source>
        <translation>nicht gespeichert</translation>
    </message>
    <message>
        <source>Click to paste, double-click to edit</source>
        <translation>Klicken zum Einfügen, Doppelklicken zum Bearbeiten</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryStore</name>
    <message>
        <source>History not saved: %1</source>
        <translation>Verlauf nicht gespeichert: %1</translation>
    </message>
</context>
<context>
    <name>ondrel::KeyHints</name>
    <message>
        <source>Navigate</source>
        <translation>Navigieren</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Ctrl 1-9</source>
        <translation>Strg 1-9</translation>
    </message>
    <message>
        <source>Quick</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Keyboard: arrows navigate, Tab edits, Control and a digit pastes quickly</source>
        <translation>Tastatur: Pfeiltasten navigieren, Tab bearbeitet, Strg und eine Ziffer fügen schnell ein</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverContent</name>
    <message>
        <source>Clipboard history</source>
        <translation>Verlauf der Zwischenablage</translation>
    </message>
    <message>
        <source>Search clipboard</source>
        <translation>Zwischenablage durchsuchen</translation>
    </message>
    <message>
        <source>Search clipboard...</source>
        <translation>Zwischenablage durchsuchen...</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Suche leeren</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Aufzeichnung angehalten</translation>
    </message>
    <message>
        <source>No clipboard history</source>
        <translation>Kein Verlauf vorhanden</translation>
    </message>
    <message>
        <source>Copy something to get started</source>
        <translation>Kopieren Sie etwas, um zu beginnen</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>Keine Treffer</translation>
    </message>
    <message>
        <source>Try a different search</source>
        <translation>Versuchen Sie eine andere Suche</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverWindow</name>
    <message>
        <source>Ondrel clipboard history</source>
        <translation>Ondrel – Verlauf der Zwischenablage</translation>
    </message>
</context>
<context>
    <name>ondrel::SettingsView</name>
    <message>
        <source>Ondrel Settings</source>
        <translation>Ondrel-Einstellungen</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Erscheinungsbild</translation>
    </message>
    <message>
        <source>Accent Color</source>
        <translation>Akzentfarbe</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Global Hotkey</source>
        <translation>Globales Tastenkürzel</translation>
    </message>
    <message>
        <source>Global Hotkey:</source>
        <translation>Globales Tastenkürzel:</translation>
    </message>
    <message>
        <source>Max History Items</source>
        <translation>Maximale Anzahl an Einträgen</translation>
    </message>
    <message>
        <source>Max History Items:</source>
        <translation>Maximale Anzahl an Einträgen:</translation>
    </message>
    <message>
        <source>Also record text selected with the mouse</source>
        <translation>Auch Mausauswahl aufzeichnen</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Systemstart</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Made by</source>
        <translation>Entwickelt von</translation>
    </message>
    <message>
        <source>The desktop runs this hotkey as %1. Change it in the desktop&apos;s settings.</source>
        <translation>Die Arbeitsumgebung verwendet für dieses Tastenkürzel %1. Ändern Sie es in den Einstellungen der Arbeitsumgebung.</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Dunkel</translation>
    </message>
    <message>
        <source>Appearance:</source>
        <translation>Erscheinungsbild:</translation>
    </message>
</context>
<context>
    <name>ondrel::StatusMenu</name>
    <message>
        <source>Settings...</source>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Nach Aktualisierungen suchen...</translation>
    </message>
    <message>
        <source>Automatic Updates</source>
        <translation>Automatische Aktualisierungen</translation>
    </message>
    <message>
        <source>Pause Recording</source>
        <translation>Aufzeichnung anhalten</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Verlauf leeren</translation>
    </message>
    <message>
        <source>Quit Ondrel</source>
        <translation>Ondrel beenden</translation>
    </message>
</context>
<context>
    <name>ondrel::Transformations</name>
    <message>
        <source>Title Case</source>
        <translation>Erster Buchstabe Groß</translation>
    </message>
    <message>
        <source>Base64 Encode</source>
        <translation>Base64 kodieren</translation>
    </message>
    <message>
        <source>Base64 Decode</source>
        <translation>Base64 dekodieren</translation>
    </message>
    <message>
        <source>URL Encode</source>
        <translation>URL kodieren</translation>
    </message>
    <message>
        <source>URL Decode</source>
        <translation>URL dekodieren</translation>
    </message>
    <message>
        <source>JSON Prettify</source>
        <translation>JSON formatieren</translation>
    </message>
    <message>
        <source>JSON Minify</source>
        <translation>JSON verdichten</translation>
    </message>
    <message>
        <source>Escape as String</source>
        <translation>Als Zeichenkette maskieren</translation>
    </message>
    <message>
        <source>Unescape String</source>
        <translation>Zeichenkette demaskieren</translation>
    </message>
    <message>
        <source>Trim Whitespace</source>
        <translation>Leerraum entfernen</translation>
    </message>
    <message>
        <source>Remove Newlines</source>
        <translation>Zeilenumbrüche entfernen</translation>
    </message>
    <message>
        <source>Sort Lines</source>
        <translation>Zeilen sortieren</translation>
    </message>
    <message>
        <source>Reverse Lines</source>
        <translation>Zeilen umkehren</translation>
    </message>
    <message>
        <source>Unique Lines</source>
        <translation>Doppelte Zeilen entfernen</translation>
    </message>
    <message>
        <source>Case</source>
        <translation>Schreibweise</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>Kodierung</translation>
    </message>
    <message>
        <source>JSON</source>
        <translation>JSON</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Zeilen</translation>
    </message>
</context>
<context>
    <name>ondrel::TransformationsPopover</name>
    <message>
        <source>Transformations</source>
        <translation>Umwandlungen</translation>
    </message>
</context>
<context>
    <name>ondrel::TrayController</name>
    <message>
        <source>Recording paused until %1</source>
        <translation>Aufzeichnung angehalten bis %1</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Aufzeichnung angehalten</translation>
    </message>
</context>
<context>
    <name>ondrel::Updates</name>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>Ondrel %1 is available.</source>
        <translation>Ondrel %1 ist verfügbar.</translation>
    </message>
    <message>
        <source>You have version %1.</source>
        <translation>Sie haben Version %1.</translation>
    </message>
    <message>
        <source>Release Notes</source>
        <translation>Versionshinweise</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Alles ist auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>Ondrel %1 is the newest version available.</source>
        <translation>Ondrel %1 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Aktualisierungen kommen über die Paketverwaltung Ihres Systems.</translation>
    </message>
    <message>
        <source>This copy of Ondrel has no update feed configured.</source>
        <translation>Für diese Ondrel-Installation ist keine Aktualisierungsquelle eingerichtet.</translation>
    </message>
    <message>
        <source>Ondrel could not check for updates.</source>
        <translation>Ondrel konnte nicht nach Aktualisierungen suchen.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys</name>
    <message>
        <source>Record Shortcut</source>
        <translation>Kürzel aufnehmen</translation>
    </message>
    <message>
        <source>Press Shortcut</source>
        <translation>Kürzel drücken</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by the “%1” menu item.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden, da es bereits vom Menüeintrag „%1“ verwendet wird.</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by another application or by the desktop.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden, da es bereits von einer anderen Anwendung oder der Arbeitsumgebung verwendet wird.</translation>
    </message>
    <message>
        <source>Most desktops let you change their keyboard shortcuts in the keyboard settings.</source>
        <translation>In den meisten Arbeitsumgebungen lassen sich deren Tastenkürzel in den Tastatureinstellungen ändern.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Use Anyway</source>
        <translation>Trotzdem verwenden</translation>
    </message>
    <message>
        <source>Ctrl with a letter or digit copies, pastes, undoes, finds and switches tabs in the application you are working in; Ondrel pastes entries with Ctrl and a digit. As a global shortcut it would stop working everywhere.</source>
        <translation>Strg mit einem Buchstaben oder einer Ziffer kopiert, fügt ein, macht rückgängig, sucht und wechselt Unterfenster in der Anwendung, in der Sie arbeiten; Ondrel fügt Einträge mit Strg und einer Ziffer ein. Als globales Tastenkürzel würde es überall aufhören zu funktionieren.</translation>
    </message>
    <message>
        <source>Terminals paste with it, and Ondrel sends it to paste into them. As a global shortcut it would stop working everywhere.</source>
        <translation>Terminals fügen damit ein, und Ondrel sendet es, um in sie einzufügen. Als globales Tastenkürzel würde es überall aufhören zu funktionieren.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys::Keys</name>
    <message>
        <source>Print</source>
        <translation>Druck</translation>
    </message>
    <message>
        <source>Scroll Lock</source>
        <translation>Rollen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Ton aus</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>Leiser</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>Lauter</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Backspace</source>
        <translation>Rücktaste</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Entf</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Einfg</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Pos1</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Leertaste</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Page Up</source>
        <translation>Bild auf</translation>
    </message>
    <message>
        <source>Page Down</source>
        <translation>Bild ab</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Runter</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Num %1</source>
        <translation>Num %1</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Num</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation>Strg</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Umschalt</translation>
    </message>
    <message>
        <source>Super</source>
        <translation>Super</translation>
    </message>
    <message>
        <source>Fn</source>
        <translation>Fn</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys::ShortcutField</name>
    <message>
        <source>Keyboard shortcut</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Kürzel entfernen</translation>
    </message>
    <message>
        <source>%1 cannot be used as a global shortcut</source>
        <translation>%1 kann nicht als globales Tastenkürzel verwendet werden</translation>
    </message>
    <message>
        <source>Choose one with Super or Alt.</source>
        <translation>Wählen Sie eines mit Super oder Alt.</translation>
    </message>
    <message>
        <source>%1 is held by another application</source>
        <translation>%1 wird von einer anderen Anwendung belegt</translation>
    </message>
    <message>
        <source>Ondrel cannot use it while that application runs. Choose another shortcut.</source>
        <translation>Ondrel kann es nicht verwenden, solange diese Anwendung läuft. Wählen Sie ein anderes Kürzel.</translation>
    </message>
</context>
<context>
    <name>ondrel::platform::HotKeys</name>
    <message>
        <source>This desktop lets no program take a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>Diese Arbeitsumgebung erlaubt keinem Programm ein globales Tastenkürzel. Legen Sie in ihren Tastatureinstellungen eine Taste für „ondrel toggle“ fest.</translation>
    </message>
    <message>
        <source>Show the clipboard history</source>
        <translation>Verlauf der Zwischenablage anzeigen</translation>
    </message>
    <message>
        <source>The desktop has not given this hotkey a key yet. Choose one in its keyboard settings, or bind a key to “ondrel toggle”.</source>
        <translation>Die Arbeitsumgebung hat diesem Tastenkürzel noch keine Taste zugewiesen. Wählen Sie eine in ihren Tastatureinstellungen oder legen Sie eine Taste für „ondrel toggle“ fest.</translation>
    </message>
    <message>
        <source>The desktop did not give Ondrel a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>Die Arbeitsumgebung hat Ondrel kein globales Tastenkürzel gegeben. Legen Sie in ihren Tastatureinstellungen eine Taste für „ondrel toggle“ fest.</translation>
    </message>
    <message>
        <source>The desktop has not answered Ondrel&apos;s request for a global hotkey yet.</source>
        <translation>Die Arbeitsumgebung hat auf Ondrels Anfrage nach einem globalen Tastenkürzel noch nicht geantwortet.</translation>
    </message>
</context>
<context>
    <name>ondrel::row</name>
    <message>
        <source>just now</source>
        <translation>gerade eben</translation>
    </message>
    <message>
        <source>%1m</source>
        <comment>minutes ago, abbreviated</comment>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>%1h</source>
        <comment>hours ago, abbreviated</comment>
        <translation>%1 Std.</translation>
    </message>
    <message>
        <source>%1d</source>
        <comment>days ago, abbreviated</comment>
        <translation>%1 T.</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message numerus="yes">
        <source> + %n more</source>
        <comment>further files</comment>
        <translation>
            <numerusform> + %n weitere</numerusform>
            <numerusform> + %n weitere</numerusform>
        </translation>
    </message>
</context>
</TS>
