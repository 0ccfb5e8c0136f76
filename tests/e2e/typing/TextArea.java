// A Swing text area alone in a window, for typing into Java applications.
import javax.swing.JFrame;
import javax.swing.JScrollPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;

public class TextArea {
    public static void main(String[] args) {
        SwingUtilities.invokeLater(() -> {
            JFrame frame = new JFrame("java text area");
            JTextArea area = new JTextArea();
            frame.add(new JScrollPane(area));
            frame.setSize(900, 700);
            frame.setDefaultCloseOperation(JFrame.EXIT_ON_CLOSE);
            frame.setVisible(true);
            area.requestFocusInWindow();
        });
    }
}
