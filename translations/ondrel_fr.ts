<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>ondrel::Accent</name>
    <message>
        <source>Grey</source>
        <translation>Gris</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Lavender</source>
        <translation>Lavande</translation>
    </message>
    <message>
        <source>Mint</source>
        <translation>Menthe</translation>
    </message>
    <message>
        <source>Sky</source>
        <translation>Ciel</translation>
    </message>
    <message>
        <source>Coral</source>
        <translation>Corail</translation>
    </message>
    <message>
        <source>Butter</source>
        <translation>Beurre</translation>
    </message>
</context>
<context>
    <name>ondrel::AppcastUpdater</name>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Les mises à jour sont fournies par le gestionnaire de paquets du système.</translation>
    </message>
    <message>
        <source>the network module could not be loaded: %1</source>
        <translation>le module réseau n&apos;a pas pu être chargé&#xa0;: %1</translation>
    </message>
    <message>
        <source>the update feed is not readable</source>
        <translation>la source des mises à jour est illisible</translation>
    </message>
</context>
<context>
    <name>ondrel::ClipboardItemDelegate</name>
    <message>
        <source>selection</source>
        <translation>sélection</translation>
    </message>
    <message>
        <source>Not saved</source>
        <translation>Non enregistré</translation>
    </message>
</context>
<context>
    <name>ondrel::CopiedNotice</name>
    <message>
        <source>Could not copy</source>
        <translation>Copie impossible</translation>
    </message>
    <message>
        <source>Copied!</source>
        <translation>Copié&#xa0;!</translation>
    </message>
</context>
<context>
    <name>ondrel::DetailView</name>
    <message>
        <source>Edit &amp; Copy</source>
        <translation>Modifier et copier</translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation>Transformations</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Entry text</source>
        <translation>Texte de l&apos;entrée</translation>
    </message>
    <message>
        <source>Ctrl+C to copy selection</source>
        <translation>Ctrl+C pour copier la sélection</translation>
    </message>
    <message numerus="yes">
        <source>%n chars</source>
        <translation>
            <numerusform>%n caractère</numerusform>
            <numerusform>%n caractères</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n lines</source>
        <translation>
            <numerusform>%n ligne</numerusform>
            <numerusform>%n lignes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ondrel::ExcludedAppsBox</name>
    <message>
        <source>Excluded Applications</source>
        <translation>Applications exclues</translation>
    </message>
    <message>
        <source>This desktop does not tell Ondrel which application copied something, so these applications cannot be left out here.</source>
        <translation>Cet environnement de bureau n&apos;indique pas à Ondrel quelle application a copié quelque chose&#xa0;: ces applications ne peuvent donc pas être exclues ici.</translation>
    </message>
    <message>
        <source>Applications not recorded</source>
        <translation>Applications non enregistrées</translation>
    </message>
    <message>
        <source>Application to leave out</source>
        <translation>Application à exclure</translation>
    </message>
    <message>
        <source>Application or id</source>
        <translation>Nom ou id</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryList</name>
    <message>
        <source>Clipboard history</source>
        <translation>Historique du presse-papiers</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>Épingler</translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation>Désépingler</translation>
    </message>
    <message>
        <source>Entry actions</source>
        <translation>Actions sur l&apos;entrée</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Modifier</translation>
    </message>
    <message>
        <source>Don&apos;t Record from %1</source>
        <translation>Ne rien enregistrer de %1</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryListModel</name>
    <message>
        <source>Not saved (%1): kept only until Ondrel quits</source>
        <translation>Non enregistré (%1)&#xa0;: conservé seulement jusqu&apos;à la fermeture d&apos;Ondrel</translation>
    </message>
    <message>
        <source>from a mouse selection</source>
        <translation>d&apos;une sélection à la souris</translation>
    </message>
    <message>
        <source>pinned</source>
        <translation>épinglé</translation>
    </message>
    <message>
        <source>not saved</source>
        <translation>non enregistré</translation>
    </message>
    <message>
        <source>Click to paste, double-click to edit</source>
        <translation>Cliquer pour coller, double-cliquer pour modifier</translation>
    </message>
</context>
<context>
    <name>ondrel::HistoryStore</name>
    <message>
        <source>History not saved: %1</source>
        <translation>Historique non enregistré&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>ondrel::KeyHints</name>
    <message>
        <source>Navigate</source>
        <translation>Naviguer</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Modifier</translation>
    </message>
    <message>
        <source>Ctrl 1-9</source>
        <translation>Ctrl 1-9</translation>
    </message>
    <message>
        <source>Quick</source>
        <translation>Rapide</translation>
    </message>
    <message>
        <source>Keyboard: arrows navigate, Tab edits, Control and a digit pastes quickly</source>
        <translation>Clavier&#xa0;: les flèches naviguent, Tab modifie, Ctrl et un chiffre collent rapidement</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverContent</name>
    <message>
        <source>Clipboard history</source>
        <translation>Historique du presse-papiers</translation>
    </message>
    <message>
        <source>Search clipboard</source>
        <translation>Rechercher dans le presse-papiers</translation>
    </message>
    <message>
        <source>Search clipboard...</source>
        <translation>Rechercher dans le presse-papiers...</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Effacer la recherche</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Enregistrement en pause</translation>
    </message>
    <message>
        <source>No clipboard history</source>
        <translation>Aucun historique</translation>
    </message>
    <message>
        <source>Copy something to get started</source>
        <translation>Copiez quelque chose pour commencer</translation>
    </message>
    <message>
        <source>No matches</source>
        <translation>Aucun résultat</translation>
    </message>
    <message>
        <source>Try a different search</source>
        <translation>Essayez une autre recherche</translation>
    </message>
</context>
<context>
    <name>ondrel::PopoverWindow</name>
    <message>
        <source>Ondrel clipboard history</source>
        <translation>Ondrel – historique du presse-papiers</translation>
    </message>
</context>
<context>
    <name>ondrel::SettingsView</name>
    <message>
        <source>Ondrel Settings</source>
        <translation>Paramètres d&apos;Ondrel</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Apparence</translation>
    </message>
    <message>
        <source>Accent Color</source>
        <translation>Couleur d&apos;accentuation</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Général</translation>
    </message>
    <message>
        <source>Global Hotkey</source>
        <translation>Raccourci global</translation>
    </message>
    <message>
        <source>Global Hotkey:</source>
        <translation>Raccourci global&#xa0;:</translation>
    </message>
    <message>
        <source>Max History Items</source>
        <translation>Nombre maximal d&apos;entrées</translation>
    </message>
    <message>
        <source>Max History Items:</source>
        <translation>Nombre maximal d&apos;entrées&#xa0;:</translation>
    </message>
    <message>
        <source>Also record text selected with the mouse</source>
        <translation>Enregistrer aussi la sélection souris</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Démarrage</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Lancer à la connexion</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Made by</source>
        <translation>Créé par</translation>
    </message>
    <message>
        <source>The desktop runs this hotkey as %1. Change it in the desktop&apos;s settings.</source>
        <translation>Le bureau utilise %1 pour ce raccourci. Modifiez-le dans les paramètres du bureau.</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Clair</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Sombre</translation>
    </message>
    <message>
        <source>Appearance:</source>
        <translation>Apparence&#xa0;:</translation>
    </message>
</context>
<context>
    <name>ondrel::StatusMenu</name>
    <message>
        <source>Settings...</source>
        <translation>Paramètres...</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Rechercher des mises à jour...</translation>
    </message>
    <message>
        <source>Automatic Updates</source>
        <translation>Mises à jour automatiques</translation>
    </message>
    <message>
        <source>Pause Recording</source>
        <translation>Suspendre l&apos;enregistrement</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Effacer l&apos;historique</translation>
    </message>
    <message>
        <source>Quit Ondrel</source>
        <translation>Quitter Ondrel</translation>
    </message>
</context>
<context>
    <name>ondrel::Transformations</name>
    <message>
        <source>Title Case</source>
        <translation>Majuscule À Chaque Mot</translation>
    </message>
    <message>
        <source>Base64 Encode</source>
        <translation>Encoder en Base64</translation>
    </message>
    <message>
        <source>Base64 Decode</source>
        <translation>Décoder le Base64</translation>
    </message>
    <message>
        <source>URL Encode</source>
        <translation>Encoder pour URL</translation>
    </message>
    <message>
        <source>URL Decode</source>
        <translation>Décoder l&apos;URL</translation>
    </message>
    <message>
        <source>JSON Prettify</source>
        <translation>Mettre en forme le JSON</translation>
    </message>
    <message>
        <source>JSON Minify</source>
        <translation>Compacter le JSON</translation>
    </message>
    <message>
        <source>Escape as String</source>
        <translation>Échapper en chaîne</translation>
    </message>
    <message>
        <source>Unescape String</source>
        <translation>Déséchapper la chaîne</translation>
    </message>
    <message>
        <source>Trim Whitespace</source>
        <translation>Supprimer les espaces autour</translation>
    </message>
    <message>
        <source>Remove Newlines</source>
        <translation>Supprimer les sauts de ligne</translation>
    </message>
    <message>
        <source>Sort Lines</source>
        <translation>Trier les lignes</translation>
    </message>
    <message>
        <source>Reverse Lines</source>
        <translation>Inverser l&apos;ordre des lignes</translation>
    </message>
    <message>
        <source>Unique Lines</source>
        <translation>Supprimer les lignes en double</translation>
    </message>
    <message>
        <source>Case</source>
        <translation>Casse</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>Encodage</translation>
    </message>
    <message>
        <source>JSON</source>
        <translation>JSON</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Lignes</translation>
    </message>
</context>
<context>
    <name>ondrel::TransformationsPopover</name>
    <message>
        <source>Transformations</source>
        <translation>Transformations</translation>
    </message>
</context>
<context>
    <name>ondrel::TrayController</name>
    <message>
        <source>Recording paused until %1</source>
        <translation>Enregistrement en pause jusqu&apos;à %1</translation>
    </message>
    <message>
        <source>Recording paused</source>
        <translation>Enregistrement en pause</translation>
    </message>
</context>
<context>
    <name>ondrel::Updates</name>
    <message>
        <source>Software Update</source>
        <translation>Mise à jour du logiciel</translation>
    </message>
    <message>
        <source>Ondrel %1 is available.</source>
        <translation>Ondrel %1 est disponible.</translation>
    </message>
    <message>
        <source>You have version %1.</source>
        <translation>Vous avez la version %1.</translation>
    </message>
    <message>
        <source>Release Notes</source>
        <translation>Notes de version</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Tout est à jour&#xa0;!</translation>
    </message>
    <message>
        <source>Ondrel %1 is the newest version available.</source>
        <translation>Ondrel %1 est la version la plus récente.</translation>
    </message>
    <message>
        <source>Updates come from your system&apos;s package manager.</source>
        <translation>Les mises à jour sont fournies par le gestionnaire de paquets du système.</translation>
    </message>
    <message>
        <source>This copy of Ondrel has no update feed configured.</source>
        <translation>Aucune source de mises à jour n&apos;est configurée pour cette copie d&apos;Ondrel.</translation>
    </message>
    <message>
        <source>Ondrel could not check for updates.</source>
        <translation>Ondrel n&apos;a pas pu rechercher de mises à jour.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys</name>
    <message>
        <source>Record Shortcut</source>
        <translation>Enregistrer un raccourci</translation>
    </message>
    <message>
        <source>Press Shortcut</source>
        <translation>Appuyez sur le raccourci</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by the “%1” menu item.</source>
        <translation>Ce raccourci clavier ne peut pas être utilisé&#xa0;: il est déjà utilisé par l’élément de menu «&#xa0;%1&#xa0;».</translation>
    </message>
    <message>
        <source>This keyboard shortcut cannot be used as it is already used by another application or by the desktop.</source>
        <translation>Ce raccourci clavier ne peut pas être utilisé&#xa0;: il est déjà utilisé par une autre application ou par le bureau.</translation>
    </message>
    <message>
        <source>Most desktops let you change their keyboard shortcuts in the keyboard settings.</source>
        <translation>La plupart des bureaux permettent de modifier leurs raccourcis dans les paramètres du clavier.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Use Anyway</source>
        <translation>Utiliser quand même</translation>
    </message>
    <message>
        <source>Ctrl with a letter or digit copies, pastes, undoes, finds and switches tabs in the application you are working in; Ondrel pastes entries with Ctrl and a digit. As a global shortcut it would stop working everywhere.</source>
        <translation>Ctrl avec une lettre ou un chiffre copie, colle, annule, recherche et change d’onglet dans l’application où vous travaillez ; Ondrel colle les entrées avec Ctrl et un chiffre. En raccourci global, il ne fonctionnerait plus nulle part.</translation>
    </message>
    <message>
        <source>Terminals paste with it, and Ondrel sends it to paste into them. As a global shortcut it would stop working everywhere.</source>
        <translation>Les terminaux collent avec ce raccourci, et Ondrel l’envoie pour y coller. En raccourci global, il ne fonctionnerait plus nulle part.</translation>
    </message>
</context>
<context>
    <name>ondrel::hotkeys::Keys</name>
    <message>
        <source>Print</source>
        <translation>Impr. écran</translation>
    </message>
    <message>
        <source>Scroll Lock</source>
        <translation>Arrêt défil</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Muet</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>Volume -</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>Volume +</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Précédent</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Suivant</translation>
    </message>
    <message>
        <source>Return</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <source>Backspace</source>
        <translation>Retour arrière</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Suppr</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Fin</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Échap</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Inser</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Début</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Espace</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>Page Up</source>
        <translation>Page préc</translation>
    </message>
    <message>
        <source>Page Down</source>
        <translation>Page suiv</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Haut</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Droite</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Bas</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Gauche</translation>
    </message>
    <message>
        <source>Num %1</source>
        <translation>Pavé num %1</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Verr num</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Maj</translation>
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
        <translation>Raccourci clavier</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Effacer le raccourci</translation>
    </message>
    <message>
        <source>%1 cannot be used as a global shortcut</source>
        <translation>%1 ne peut pas servir de raccourci global</translation>
    </message>
    <message>
        <source>Choose one with Super or Alt.</source>
        <translation>Choisissez-en un avec Super ou Alt.</translation>
    </message>
    <message>
        <source>%1 is held by another application</source>
        <translation>%1 est pris par une autre application</translation>
    </message>
    <message>
        <source>Ondrel cannot use it while that application runs. Choose another shortcut.</source>
        <translation>Ondrel ne peut pas l’utiliser tant que cette application fonctionne. Choisissez un autre raccourci.</translation>
    </message>
</context>
<context>
    <name>ondrel::platform::HotKeys</name>
    <message>
        <source>This desktop lets no program take a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>Ce bureau ne permet à aucun programme de prendre un raccourci global. Associez une touche à «&#xa0;ondrel toggle&#xa0;» dans ses paramètres du clavier.</translation>
    </message>
    <message>
        <source>Show the clipboard history</source>
        <translation>Afficher l’historique du presse-papiers</translation>
    </message>
    <message>
        <source>The desktop has not given this hotkey a key yet. Choose one in its keyboard settings, or bind a key to “ondrel toggle”.</source>
        <translation>Le bureau n’a pas encore attribué de touche à ce raccourci. Choisissez-en une dans ses paramètres du clavier, ou associez une touche à «&#xa0;ondrel toggle&#xa0;».</translation>
    </message>
    <message>
        <source>The desktop did not give Ondrel a global hotkey. Bind a key to “ondrel toggle” in its keyboard settings.</source>
        <translation>Le bureau n’a pas attribué de raccourci global à Ondrel. Associez une touche à «&#xa0;ondrel toggle&#xa0;» dans ses paramètres du clavier.</translation>
    </message>
    <message>
        <source>The desktop has not answered Ondrel&apos;s request for a global hotkey yet.</source>
        <translation>Le bureau n’a pas encore répondu à la demande de raccourci global d’Ondrel.</translation>
    </message>
</context>
<context>
    <name>ondrel::row</name>
    <message>
        <source>just now</source>
        <translation>à l’instant</translation>
    </message>
    <message>
        <source>%1m</source>
        <comment>minutes ago, abbreviated</comment>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1h</source>
        <comment>hours ago, abbreviated</comment>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>%1d</source>
        <comment>days ago, abbreviated</comment>
        <translation>%1 j</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message numerus="yes">
        <source> + %n more</source>
        <comment>further files</comment>
        <translation>
            <numerusform> + %n autre</numerusform>
            <numerusform> + %n autres</numerusform>
        </translation>
    </message>
</context>
</TS>
